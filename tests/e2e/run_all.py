"""Runs the end-to-end tests of the real binary on the real engine under
Xvfb and ends with one line 'N passed, N failed'."""

import argparse
import os
import sys
import unittest

here = os.path.dirname(os.path.abspath(__file__))
# Where each failure's screenshot is kept, in the tree's output folder.
FAILURES = os.path.join(os.path.dirname(os.path.dirname(here)), "out", "e2e-failures")


class ScreenshotOnFailure(unittest.TextTestResult):
    """Keeps a screenshot of the test's display for each failure and error
    (unittest reports one as it happens, before the tear-down ends the
    program) as FAILURES/<test id>.png, and names the file in the report."""

    def __init__(self, *args, **kwargs):
        super().__init__(*args, **kwargs)
        self.shots = {}

    def addFailure(self, test, err):
        super().addFailure(test, err)
        self.shoot(test, self.failures)

    def addError(self, test, err):
        super().addError(test, err)
        self.shoot(test, self.errors)

    def addSubTest(self, test, subtest, err):
        super().addSubTest(test, subtest, err)
        if err is not None:
            self.shoot(test, self.failures if issubclass(err[0], test.failureException)
                       else self.errors)

    def shoot(self, test, reported):
        # The display of the test's program, else of its class or module.
        display = next((d for d in (getattr(getattr(test, "prog", None), "display", None),
                                    getattr(test, "display", None),
                                    getattr(sys.modules.get(type(test).__module__), "display",
                                            None))
                        if getattr(d, "name", None)), None)
        if display is None:
            return
        n = self.shots[test.id()] = self.shots.get(test.id(), 0) + 1
        path = os.path.join(FAILURES, test.id() + (f".{n}" if n > 1 else "") + ".png")
        os.makedirs(FAILURES, exist_ok=True)
        if display.screenshot(path):
            failed, text = reported[-1]
            reported[-1] = (failed, f"{text}screenshot at the failure: {path}\n")


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
    result = unittest.TextTestRunner(verbosity=2, resultclass=ScreenshotOnFailure).run(suite)
    # Each test that failed once, however many of its subtests did; a
    # fixture's error counts as failed but not as run.
    failed = {getattr(t, "test_case", t) for t, _ in result.failures + result.errors}
    passed = (result.testsRun - len(result.skipped) -
              sum(isinstance(t, unittest.TestCase) for t in failed))
    line = f"e2e: {passed} passed, {len(failed)} failed"
    if result.skipped:
        line += f", {len(result.skipped)} skipped"
    print(line)
    return 0 if not failed and result.testsRun > 0 else 1


if __name__ == "__main__":
    sys.exit(main())
