"""Run under an interpreter that has the generators' Python packages.

The generators use Debian's python3-numpy and python3-pil.  A python3
found first on PATH (a private build, a virtual environment) may lack
them; ensure() then restarts the current script under the system
interpreter, which has them once tools/make_data.sh installed them."""
import importlib
import os
import sys

SYSTEM_PYTHON = "/usr/bin/python3"
_GUARD = "VELMORA_TOOLS_REEXEC"


def ensure(*modules):
    try:
        for m in modules:
            importlib.import_module(m)
        return
    except ImportError:
        if (os.environ.get(_GUARD) or not os.path.exists(SYSTEM_PYTHON)
                or os.path.realpath(sys.executable)
                == os.path.realpath(SYSTEM_PYTHON)):
            raise
    os.environ[_GUARD] = "1"
    sys.stdout.flush()
    os.execv(SYSTEM_PYTHON, [SYSTEM_PYTHON] + sys.argv)
