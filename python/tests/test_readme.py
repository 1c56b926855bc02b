"""The README's Python example works as it is written."""

import contextlib
import io
import re

from conftest import SOURCE_DIR, read_png


def test_the_readmes_example_runs_verbatim(tmp_path, monkeypatch):
    readme = (SOURCE_DIR / "README.md").read_text()
    section = readme[readme.index("\n## Python\n"):]
    example = re.search(r"```python\n(.*?)```", section, re.S).group(1)

    monkeypatch.chdir(tmp_path)
    printed = io.StringIO()
    with contextlib.redirect_stdout(printed):
        names = {}
        exec(example, names)
    # The comment on the print line says what it prints.
    assert printed.getvalue().strip() == re.search(r"print\(.*# (.*)", example).group(1)
    assert read_png((tmp_path / "label.png").read_bytes()).text == "LOT 2026-12-07"
    assert len(names["pngs"]) == 1000
    assert all((tmp_path / name).read_bytes().startswith(b"%PDF-") for name in ("label.pdf", "labels.pdf"))
