#!/usr/bin/python3
"""Our ADIF as another logger reads it: PyQSO's reader, from Debian's pyqso package.

Contacts of each kind go in through bandhopper-cli, which also appends each to the ADIF file set
in Preferences, Logging; in that file and in the export, the fields PyQSO keeps must read as
logged. Exits 77 (skipped) where pyqso is not installed.
"""
import os
import subprocess
import sys
import tempfile

try:
    from pyqso.adif import ADIF
except ImportError:
    print("pyqso is not installed (tools/bootstrap.sh test installs it)")
    sys.exit(77)

CONTACTS = [
    (["--call", "K1ABC", "--frequency", "14074", "--mode", "FT8", "--pota", "US-6795,US-0001"],
     {"CALL": "K1ABC", "QSO_DATE": "20261201", "TIME_ON": "120000", "BAND": "20m",
      "FREQ": "14.074", "MODE": "FT8", "RST_SENT": "-10", "RST_RCVD": "-10"}),
    (["--call", "W2XYZ", "--frequency", "7032", "--mode", "CW", "--sota", "W2/GC-001",
      "--name", "José"],
     {"CALL": "W2XYZ", "BAND": "40m", "FREQ": "7.032", "MODE": "CW", "RST_SENT": "599",
      "NAME": "José"}),
    (["--call", "F4ILK", "--frequency", "14244", "--mode", "USB", "--wwff", "FFF-1234"],
     {"CALL": "F4ILK", "MODE": "SSB", "SUBMODE": "USB", "RST_RCVD": "59"}),
    (["--call", "KD2ABC", "--frequency", "146520", "--mode", "FM"],
     {"CALL": "KD2ABC", "BAND": "2m", "FREQ": "146.520", "MODE": "FM"}),
]


def main(cli):
    wrong = []
    with tempfile.TemporaryDirectory() as folder:
        env = dict(os.environ, BANDHOPPER_LOG=os.path.join(folder, "log.sqlite"),
                   XDG_CONFIG_HOME=folder)
        watched = os.path.join(folder, "watched.adi")
        os.makedirs(os.path.join(folder, "Bandhopper"))
        with open(os.path.join(folder, "Bandhopper", "Bandhopper.conf"), "w") as conf:
            conf.write("[log]\nadifFile=%s\n" % watched)
        for minute, (args, _) in enumerate(CONTACTS):
            subprocess.run([cli, "log", "add", "--time", "2026-12-01T12:%02d" % minute] + args,
                           env=env, check=True, capture_output=True)
        exported = os.path.join(folder, "export.adi")
        subprocess.run([cli, "log", "export", "--output", exported], env=env, check=True,
                       capture_output=True)
        for path in (exported, watched):
            wrong += misread(os.path.basename(path), ADIF().read(path))
    print("\n".join(wrong) or "PyQSO read every contact as logged, exported and appended")
    return 1 if wrong else 0


def misread(name, records):
    records = sorted(records, key=lambda record: record["TIME_ON"])
    wrong = []
    if len(records) != len(CONTACTS):
        wrong.append("%s: read %d records of %d" % (name, len(records), len(CONTACTS)))
    for (_, expected), record in zip(CONTACTS, records):
        for field, value in expected.items():
            # PyQSO counts characters where ADIF counts bytes, so after a name with an accent it
            # takes the blank between fields too; loggers trim it.
            if record.get(field, "").rstrip() != value:
                wrong.append("%s, %s: %s is %r, not %r" % (name, expected["CALL"], field,
                                                           record.get(field), value))
    return wrong


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
