"""Fixtures of the end-to-end tests: each test gets its own Wine session (a
copy of a ready prefix, a virtual display and the application folder),
named after the test and closed after it, also when it fails. A test marked
win64 gets a 64-bit prefix; on a machine that runs no 32-bit code every
test does."""
import pytest

from harness import ARCH, Session


@pytest.fixture
def session(request):
    arch = "win64" if request.node.get_closest_marker("win64") else ARCH
    with Session(f"{request.node.module.__name__}.{request.node.name}", arch=arch) as opened:
        yield opened
