"""What the scripts that set a Ravelin command beside a peer program share: the two programs they run
from the build, the private home both run in, one run's CPU time and peak memory, and the summary of
several runs (median CPU, largest peak)."""
import os
import statistics
import subprocess
import sys


def tools(build):
    """ravelin-cli and ravelin-rusage of BUILD_DIR, as absolute paths; exits when either is missing."""
    cli = os.path.abspath(os.path.join(build, "bin", "ravelin-cli"))
    rusage = os.path.abspath(os.path.join(build, "bin", "ravelin-rusage"))
    if not os.access(cli, os.X_OK) or not os.access(rusage, os.X_OK):
        sys.exit("no %s or %s: build first (make build)" % (cli, rusage))
    return cli, rusage


def private_env(work, **extra):
    """This environment with a home, settings, registry and log of their own under `work`, no cards and
    no sound out; `extra` adds or overrides variables."""
    env = dict(os.environ)
    env.update({"HOME": work, "XDG_CONFIG_HOME": os.path.join(work, "config"),
                "XDG_STATE_HOME": os.path.join(work, "state"), "RAVELIN_REGISTRY": os.path.join(work, "registry.db"),
                "RAVELIN_CARDS": "", "RAVELIN_AUDIO_OUT": "none"})
    env.update(extra)
    return env


def measure(rusage, argv, env):
    """CPU seconds (user + system) and peak resident megabytes of one run."""
    done = subprocess.run([rusage] + argv, env=env, capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit("%s failed (%d): %s" % (argv[0], done.returncode, done.stderr.strip()))
    facts = dict(item.split("=") for item in done.stdout.split())
    return float(facts["cpu"]), int(facts["peak_kb"]) / 1024.0


def summary(runs):
    """The median CPU seconds and the largest peak of (cpu, peak) pairs."""
    return statistics.median(cpu for cpu, _ in runs), max(peak for _, peak in runs)
