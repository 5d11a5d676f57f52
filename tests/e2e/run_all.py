"""Runs the end-to-end tests of the real binary on the real engine under
Xvfb and ends with one line 'N passed, N failed'."""

import argparse
import os
import sys
import unittest

here = os.path.dirname(os.path.abspath(__file__))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--binary", required=True)
    parser.add_argument("--host", required=True, help="the bridge test host")
    parser.add_argument("-k", dest="pattern", default=None, help="only tests matching this")
    args = parser.parse_args()
    os.environ["VELK_BINARY"] = os.path.abspath(args.binary)
    os.environ["VELK_HOST"] = os.path.abspath(args.host)
    sys.path.insert(0, here)

    loader = unittest.TestLoader()
    if args.pattern:
        loader.testNamePatterns = [f"*{args.pattern}*"]
    suite = loader.discover(here, pattern="test_*.py", top_level_dir=here)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    failed = len(result.failures) + len(result.errors)
    passed = result.testsRun - failed - len(result.skipped)
    line = f"e2e: {passed} passed, {failed} failed"
    if result.skipped:
        line += f", {len(result.skipped)} skipped"
    print(line)
    return 0 if failed == 0 and result.testsRun > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
