"""Fixtures of the end-to-end tests: each test gets its own Wine session (a
copy of a ready prefix, a virtual display and the application folder),
named after the test and closed after it, also when it fails. A test marked
win64 gets a 64-bit prefix."""
import pytest

from harness import Session


@pytest.fixture
def session(request):
    arch = "win64" if request.node.get_closest_marker("win64") else "win32"
    with Session(f"{request.node.module.__name__}.{request.node.name}", arch=arch) as opened:
        yield opened
