# The dmmbench bench from Python: everything is the extension's (see help(dmmbench)).
from dmmbench._dmmbench import *  # noqa: F401,F403
from dmmbench._dmmbench import __doc__  # noqa: F401

__all__ = [
    "open",
    "Bench",
    "Block",
    "Fields",
    "Calibrator",
    "PowerSupply",
    "Chamber",
    "Meter",
    "Meters",
    "MeterReading",
    "CalSets",
    "DriftRun",
    "SwitchTestRun",
    "Progress",
    "Error",
    "LinkError",
    "RefusedError",
    "TimeoutError",
    "InstrumentError",
    "StoppedError",
    "BenchWarning",
]
