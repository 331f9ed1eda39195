"""Fixtures of the end-to-end suite: the Wine build of this host, the medium, the
pristine prefix and one scenario's world, torn down whatever happens."""

import fcntl
import os
from contextlib import ExitStack

import pytest

from harness.prefix import copy_prefix, pristine_prefix
from harness.wine import ROOT, Wine
from scenario import Checks, Scenario

BUILD = ROOT / "build"
# The longest first, so that parallel workers end at about the same time.
ORDER = ("dpi", "restart-yes", "fresh-install", "damaged-archive", "umlauts", "welcome-close",
         "font-kept", "product-file")
_scenario_key = pytest.StashKey()
_report_key = pytest.StashKey()


def scenario_name(item):
    """The test's name without "test_", or for a table of scenarios (a test parametrised
    over `scenario_name`) the row's."""
    row = getattr(item, "callspec", None)
    if row is not None and "scenario_name" in row.params:
        return row.params["scenario_name"]
    return item.originalname.removeprefix("test_").replace("_", "-")


def pytest_collection_modifyitems(items):
    for item in items:
        # -k selects by the scenario's own name, e.g. -k fresh-install.
        item.extra_keyword_matches.add(scenario_name(item))
    items.sort(key=lambda item: ORDER.index(scenario_name(item))
               if scenario_name(item) in ORDER else len(ORDER))


def pytest_report_header():
    wine = Wine()
    return f"Windows build under test: {wine.arch} ({wine.why})"


@pytest.fixture(scope="session")
def wine():
    return Wine()


@pytest.fixture(scope="session")
def medium(wine):
    """The medium and the driver, built once per run (parallel workers wait for the
    first); QVR_E2E_SKIP_BUILD=1 takes what is built."""
    run = os.environ.get("PYTEST_XDIST_TESTRUNUID") or f"pid {os.getpid()}"
    marker = BUILD / "e2e" / ".built"
    marker.parent.mkdir(parents=True, exist_ok=True)
    with open(BUILD / "e2e/.build.lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if os.environ.get("QVR_E2E_SKIP_BUILD") != "1" and \
                (not marker.is_file() or marker.read_text() != run):
            marker.unlink(missing_ok=True)
            wine.make_dist("e2e-driver", "qvrpack")
            marker.write_text(run)
    for path in (wine.dist / "Setup.exe", wine.dist / "QVRKDV2.QVP", wine.driver, wine.qvrpack,
                 wine.qvrpack_exe):
        assert path.is_file(), f"{path} is missing"
    return wine.dist


@pytest.fixture(scope="session")
def pristine(wine):
    return pristine_prefix(wine, BUILD / f"e2e/pristine-{wine.arch}")


@pytest.fixture
def scenario_factory(request, wine, medium, pristine):
    """Makes the scenario's world; ends its programs and display afterwards, whatever
    fails on the way. The prefix of a failed scenario stays in build/e2e/prefixes/."""
    def passed():
        report = request.node.stash.get(_report_key, None)
        return report is not None and report.passed

    with ExitStack() as later:
        def make(label=None, **options):
            name = scenario_name(request.node)
            label = label or name
            scenario = Scenario(wine, BUILD / "e2e/prefixes" / label, BUILD / "screenshots" / name,
                                BUILD / "e2e/logs" / f"{label}.log",
                                medium=BUILD / "e2e/media" / label, work=BUILD / "e2e/work" / label,
                                **options)
            later.callback(lambda: scenario.finish(keep=not passed()))
            request.node.stash[_scenario_key] = scenario
            scenario.begin(lambda prefix: copy_prefix(pristine, prefix))
            return scenario

        yield make


@pytest.fixture
def scenario(scenario_factory):
    return scenario_factory()


@pytest.fixture
def checks(request):
    """Counted checks for a scenario without Wine."""
    request.node.stash[_scenario_key] = Checks()
    return request.node.stash[_scenario_key]


@pytest.hookimpl(hookwrapper=True)
def pytest_runtest_makereport(item, call):
    """The scenario's counted checks decide its outcome: a failed check fails it, a
    check this host cannot run skips it with the reason."""
    outcome = yield
    report = outcome.get_result()
    if call.when != "call":
        return
    scenario = item.stash.get(_scenario_key, None)
    if scenario is not None:
        failures = scenario.verdict()
        report.sections.append(("checks", f"{scenario.count - len(scenario.failures)} of "
                                          f"{scenario.count} checks passed"))
        if failures:
            listing = "\n".join(f"  FAIL  {what}" for what in failures)
            report.sections.append(("failed checks", listing))
            if report.passed:
                report.outcome = "failed"
                report.longrepr = f"{len(failures)} check(s) failed:\n{listing}"
        elif report.passed and scenario.unchecked:
            report.outcome = "skipped"
            report.longrepr = (str(item.path), item.location[1] or 0,
                               "Skipped: " + "; ".join(scenario.unchecked))
    item.stash[_report_key] = report
