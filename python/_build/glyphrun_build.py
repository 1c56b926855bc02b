"""The build backend of the glyphrun package: CMake builds the extension
from the repository around this folder, and the wheel is written here.

Not scikit-build-core, the usual choice: it is not packaged in Debian 12,
and the machines that build Glyphrun reach Debian's mirrors and no package
index, so pip could not fetch it. This backend needs Python's standard
library, CMake and a C++ compiler, and nothing else: pyproject.toml
requires nothing, so pip's isolated build downloads nothing.

The extension is built in a temporary folder, unless GLYPHRUN_BUILD_DIR
names a CMake build folder of this repository that builds it (make test
names its own, so that the tests do not compile the extension twice); it
is then brought up to date there.

Only wheels: the package is built from the whole repository, which an
sdist of this folder would not hold.
"""

import base64
import hashlib
import os
import re
import subprocess
import sys
import sysconfig
import tempfile
import zipfile
from pathlib import Path

NAME = "glyphrun"
PACKAGE = Path(__file__).resolve().parent.parent  # python/
REPOSITORY = PACKAGE.parent
SUMMARY = "Data Matrix ECC200 symbols from text or bytes, as PNG, GIF, BMP, SVG or EPS"
DESCRIPTION = """\
glyphrun encodes text or bytes into Data Matrix ECC200 symbols with the
fewest codewords (GS1 and ECI included) and writes them as PNG, GIF, BMP,
SVG or EPS. Symbol.to_pil needs Pillow.
"""


def _version():
    cmake_lists = (REPOSITORY / "CMakeLists.txt").read_text()
    match = re.search(r"project\(Glyphrun VERSION ([0-9.]+)", cmake_lists)
    if not match:
        raise RuntimeError(f"no project version in {REPOSITORY / 'CMakeLists.txt'}")
    return match.group(1)


def _tag():
    interpreter = f"cp{sys.version_info.major}{sys.version_info.minor}"
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{interpreter}-{interpreter}{sys.abiflags}-{platform}"


def _run(command):
    # pip shows the output when the build fails, or with -v.
    print("+", " ".join(str(part) for part in command), flush=True)
    subprocess.run(command, check=True, stdout=sys.stdout, stderr=sys.stderr)


def _build_extension(build_dir):
    """Builds the extension in `build_dir` and answers its path."""
    _run(["cmake", "--build", build_dir, "--target", "glyphrun_python", "--parallel", str(os.cpu_count() or 1)])
    extension = Path(build_dir) / "python" / NAME / ("_glyphrun" + sysconfig.get_config_var("EXT_SUFFIX"))
    if not extension.is_file():
        raise RuntimeError(f"{build_dir} built no {extension.name}: is it configured for this Python, {sys.executable}?")
    return extension


def _configure(build_dir):
    if not (REPOSITORY / "CMakeLists.txt").is_file():
        raise RuntimeError(f"the glyphrun package is built from its repository; {REPOSITORY} is not one")
    _run(["cmake", "-S", REPOSITORY, "-B", build_dir, "-DCMAKE_BUILD_TYPE=Release",
          "-DGLYPHRUN_BUILD_TESTS=OFF", "-DGLYPHRUN_BUILD_BENCH=OFF", "-DGLYPHRUN_BUILD_APP=OFF",
          "-DGLYPHRUN_BUILD_PYTHON=ON", f"-DPython_EXECUTABLE={sys.executable}"])


def _record_line(path, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{path},sha256={digest},{len(data)}"


def _write_wheel(wheel_directory, extension):
    version = _version()
    dist_info = f"{NAME}-{version}.dist-info"
    tag = _tag()
    files = {f"{NAME}/{source.name}": source.read_bytes()
             for source in sorted((PACKAGE / NAME).iterdir()) if source.suffix in (".py", ".pyi", ".typed")}
    files[f"{NAME}/{extension.name}"] = extension.read_bytes()
    files[f"{dist_info}/METADATA"] = (
        f"Metadata-Version: 2.1\nName: {NAME}\nVersion: {version}\nSummary: {SUMMARY}\n"
        # Symbol.modules is a NumPy array, so pip installs NumPy with the
        # package; Pillow serves to_pil alone and is left to the user.
        f"Requires-Python: >=3.8\nRequires-Dist: numpy\n\n{DESCRIPTION}").encode()
    files[f"{dist_info}/WHEEL"] = (
        f"Wheel-Version: 1.0\nGenerator: glyphrun_build\nRoot-Is-Purelib: false\nTag: {tag}\n").encode()
    files[f"{dist_info}/top_level.txt"] = f"{NAME}\n".encode()
    record = [_record_line(path, data) for path, data in files.items()] + [f"{dist_info}/RECORD,,"]
    files[f"{dist_info}/RECORD"] = ("\n".join(record) + "\n").encode()

    wheel_name = f"{NAME}-{version}-{tag}.whl"
    with zipfile.ZipFile(Path(wheel_directory) / wheel_name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for path, data in files.items():
            wheel.writestr(path, data)
    return wheel_name


def get_requires_for_build_wheel(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    build_dir = os.environ.get("GLYPHRUN_BUILD_DIR")
    if build_dir:
        return _write_wheel(wheel_directory, _build_extension(build_dir))
    with tempfile.TemporaryDirectory(prefix="glyphrun-build-") as temporary:
        _configure(temporary)
        return _write_wheel(wheel_directory, _build_extension(temporary))
