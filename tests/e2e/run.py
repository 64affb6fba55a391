#!/usr/bin/env python3
"""Runs one end-to-end test by name (module.function), or lists them all.

usage: run.py list | run.py <module>.<test function>"""
import importlib
import pkgutil
import sys
import traceback
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))


def all_tests():
    for module_info in sorted(pkgutil.iter_modules([str(HERE)]), key=lambda m: m.name):
        if module_info.name.endswith("_tests"):
            module = importlib.import_module(module_info.name)
            for name in sorted(vars(module)):
                if name.startswith("test_") and callable(getattr(module, name)):
                    yield f"{module_info.name}.{name}"


def main():
    if sys.argv[1:] == ["list"]:
        print("\n".join(all_tests()))
        return 0
    module_name, _, function_name = sys.argv[1].rpartition(".")
    test = getattr(importlib.import_module(module_name), function_name)
    try:
        test()
    except Exception:
        traceback.print_exc()
        print(f"FAIL {sys.argv[1]}")
        return 1
    print(f"PASS {sys.argv[1]}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
