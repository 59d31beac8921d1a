#!/usr/bin/python3
"""Reads a DXF file with ezdxf, audits it and prints what it holds.

usage: dxf_audit.py FILE
Prints "polylines N vertices M" and the audit's errors; exit status 0 only when the file reads
and the audit finds no error, 3 when ezdxf is not installed.
"""
import sys

try:
    import ezdxf
except ImportError:
    print("ezdxf is not installed (Debian package python3-ezdxf)")
    sys.exit(3)


def main():
    doc = ezdxf.readfile(sys.argv[1])
    auditor = doc.audit()
    polylines = doc.modelspace().query("POLYLINE")
    vertices = sum(len(p.vertices) for p in polylines)
    print(f"polylines {len(polylines)} vertices {vertices}")
    for error in auditor.errors:
        print(f"error: {error.message}")
    return 1 if auditor.has_errors else 0


if __name__ == "__main__":
    sys.exit(main())
