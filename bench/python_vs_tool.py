"""python_vs_tool.py BUILD A B [RUNS]: times the whole job, two mesh files to
a .glb, through vorlane-merge and through the Python module (read_mesh,
morph, write), alternating the two, and prints the medians. Run with
Debian's /usr/bin/python3."""
import os
import statistics
import subprocess
import sys
import tempfile
import time

build, a, b = sys.argv[1:4]
runs = int(sys.argv[4]) if len(sys.argv) > 4 else 5
sys.path.insert(0, os.path.join(build, "python"))
import vorlane  # noqa: E402

tool = os.path.join(build, "tools", "vorlane-merge")
times = {"tool": [], "module": []}
with tempfile.TemporaryDirectory() as work:
    out = os.path.join(work, "out.glb")
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run([tool, a, b, "-o", out], check=True, stdout=subprocess.DEVNULL)
        times["tool"].append(time.perf_counter() - start)
        start = time.perf_counter()
        vorlane.morph(vorlane.read_mesh(a), vorlane.read_mesh(b)).write(out)
        times["module"].append(time.perf_counter() - start)
for name, values in times.items():
    print("%-6s median %.3f s over %d runs" % (name, statistics.median(values), runs))
print("module / tool: %.2f" % (statistics.median(times["module"]) / statistics.median(times["tool"])))
