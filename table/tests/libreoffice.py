"""What the tests that run LibreOffice share: running it headless in a
profile of their own, and skipping where it is not installed."""
import shutil
import subprocess
import tempfile

SKIP = 77  # CTest's SKIP_RETURN_CODE

# The opening of a flat OpenDocument spreadsheet (.fods), which LibreOffice
# converts to .ods and .xlsx: its namespaces and its kind.
FODS_HEAD = """<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
  xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
  xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
  xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0"
  xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0"
  xmlns:of="urn:oasis:names:tc:opendocument:xmlns:of:1.2"
  office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
"""


def run(command, **kwargs):
    """Runs `command`, and ends the test with its standard error where it fails."""
    result = subprocess.run(command, capture_output=True, **kwargs)
    if result.returncode != 0:
        raise SystemExit(f"{command[0]} failed ({result.returncode}): {result.stderr.decode()}")
    return result


def with_soffice(check, tool):
    """check(tool, soffice, work) in a folder of its own, removed after; SKIP
    where LibreOffice is not installed."""
    soffice = shutil.which("soffice")
    if soffice is None:
        print("skipped: LibreOffice (soffice, of libreoffice-calc-nogui) is not installed")
        return SKIP
    work = tempfile.mkdtemp()
    try:
        return check(tool, soffice, work)
    finally:
        shutil.rmtree(work)
