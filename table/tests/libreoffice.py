"""What the tests that run LibreOffice share: running it headless in a
profile of their own, and skipping where it is not installed."""
import shutil
import subprocess
import tempfile

SKIP = 77  # CTest's SKIP_RETURN_CODE


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
