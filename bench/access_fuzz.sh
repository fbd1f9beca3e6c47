#!/usr/bin/env bash
# Runs mutated Access files through the batch program (dalvane <batch>.xml) and counts, per
# 1,000 mutations, the runs that crash, hang or succeed silently with less in them.
#   bench/access_fuzz.sh [COUNT]        (default: 1000 mutations, seeded by SEED, default 1)
# Each mutated file is imported by both Access readers (READERS="dao adox", the default; the
# second sorts column names and lists rights), and each run is counted.
# The mutations are made from the fixtures of tests/fixtures/access: truncations (at a page
# boundary or anywhere), zeroed pages and byte flips, the latter two on table definition, usage
# map and catalogue pages (MSys* data and long-value pages). Every mutated file is imported on
# its own, as an entry of a batch document with an XML report, under a TIMEOUT (default 120 s).
#   crash:  the program died on a signal, or printed no line for the entry
#   hang:   it did not end within TIMEOUT
#   silent: exit 0 and the entry reported imported, while its structure has less than the intact
#           file's: fewer tables, columns, indexes, index columns, foreign key columns or views, or
#           fewer defaults, validation rules, descriptions, columns that refuse Null, privileges,
#           rights granted, creation dates, type names (but "Complex"), sizes Jet allows (up to
#           255), or less SQL, and no warning line ("Warning in ...") naming what was left out
#   warned: the same, with such a warning line
# JOBS runs in parallel (default 4); BUILD points at the build folder; DALVANE at another program.
# KEEP=folder keeps the mutated files of every crash, hang and silent success there.
set -euo pipefail
HERE=$(cd "$(dirname "$0")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
COUNT=${1:-1000}
SEED=${SEED:-1}
JOBS=${JOBS:-4}
TIMEOUT=${TIMEOUT:-120}
WORK=$(mktemp -d "${TMPDIR:-/tmp}/dalvaccessfuzz-XXXXXX")
trap 'rm -rf "$WORK"' EXIT

if [ -z "${DALVANE:-}" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  ninja -C "$BUILD" dalvane >/dev/null
  DALVANE=$BUILD/bin/dalvane
fi
export HOME=$WORK/home XDG_DATA_HOME=$WORK/home/.local/share XDG_CONFIG_HOME=$WORK/home/.config
unset DISPLAY WAYLAND_DISPLAY
mkdir -p "$HOME" "$WORK/files" "$WORK/runs"

# import FILE NAME READER: one batch run of FILE by READER (dao or adox); writes NAME.status
# (exit code or "hang"), NAME.out and the report NAME.xml.
import() {
  local file=$1 name=$2 dir=$WORK/runs/$2 status=0 sort=0
  [ "${3:-dao}" = dao ] || sort=1
  mkdir -p "$dir"
  cat > "$dir/batch.xml" <<XML
<?xml version="1.0"?>
<DALVIMPORT>
  <DATABASE>
    <ENGINE>9</ENGINE>
    <DATABASENAME>$file</DATABASENAME>
    <ACCESSDB><SYSTEMDATABASE><SORTCOLUMNSALPHABETICALLY>$sort</SORTCOLUMNSALPHABETICALLY></SYSTEMDATABASE></ACCESSDB>
    <REPORTS><REPORT Format="XML" Path="$dir/" FileName="structure.xml"/></REPORTS>
  </DATABASE>
</DALVIMPORT>
XML
  timeout -s KILL "$TIMEOUT" "$DALVANE" "$dir/batch.xml" >"$dir/out.txt" 2>"$dir/err.txt" </dev/null || status=$?
  [ "$status" -ne 137 ] || status=hang
  echo "$status" > "$dir/status"
}
export -f import
export WORK DALVANE TIMEOUT

# The intact files first: their structures are what a mutation must not silently lose.
FIXTURES=(nwind.mdb DateTestDatabase.mdb ASampleDatabase.accdb)
READERS=${READERS:-dao adox}
for f in "${FIXTURES[@]}"; do
  cp "$ROOT/tests/fixtures/access/$f" "$WORK/files/intact_$f"
  for r in $READERS; do
    import "$WORK/files/intact_$f" "intact_${r}_$f" "$r"
    grep -q ": 0 " "$WORK/runs/intact_${r}_$f/out.txt" || { echo "the intact $f does not import by $r:" >&2; cat "$WORK/runs/intact_${r}_$f/"*.txt >&2; exit 1; }
  done
done
export READERS

python3 - "$WORK" "$COUNT" "$SEED" "${FIXTURES[@]}" <<'PY'
import os, random, subprocess, sys
work, count, seed, fixtures = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4:]
rng = random.Random(seed)

def catalogue_pages(path, data, size):
    """Table definition, usage map, and the data and long-value pages of the system tables."""
    pages = len(data) // size
    system = {2}
    # The Id of a table in MSysObjects is its definition page (low 24 bits).
    try:
        lines = subprocess.run(["mdb-export", "-d", "\t", "-Q", path, "MSysObjects"], capture_output=True,
                               text=True, timeout=60).stdout.splitlines()
        head = lines[0].split("\t")
        for line in lines[1:]:
            row = dict(zip(head, line.split("\t")))
            if row.get("Name", "").startswith("MSys") and row.get("Type") == "1" and row.get("Id", "").isdigit():
                system.add(int(row["Id"]) & 0xFFFFFF)
    except Exception:
        pass
    kinds = {"tdef": [], "map": [], "catalogue": []}
    for p in range(1, pages):
        t = data[p * size]
        owner = int.from_bytes(data[p * size + 4:p * size + 8], "little")
        if t == 0x02:
            kinds["tdef"].append(p)
        elif t == 0x05 or p == 1:
            kinds["map"].append(p)
        elif t == 0x01 and (data[p * size + 4:p * size + 8] == b"LVAL" or owner in system):
            kinds["catalogue"].append(p)
    return kinds

plan = []
per = [count // len(fixtures) + (1 if i < count % len(fixtures) else 0) for i in range(len(fixtures))]
for fixture, n in zip(fixtures, per):
    src = os.path.join(work, "files", "intact_" + fixture)
    data = open(src, "rb").read()
    size = 2048 if data[0x14] == 0 else 4096
    kinds = catalogue_pages(src, data, size)
    pages = len(data) // size
    for i in range(n):
        m = bytearray(data)
        how = rng.choice(["cut-page", "cut-byte", "zero-tdef", "zero-map", "zero-catalogue",
                          "flip-tdef", "flip-map", "flip-catalogue"])
        if how == "cut-page":
            m = m[:rng.randrange(3, pages) * size]
        elif how == "cut-byte":
            m = m[:rng.randrange(3 * size, len(data))]
        else:
            kind = how.split("-")[1]
            page = rng.choice(kinds[kind] or [2])
            if how.startswith("zero"):
                m[page * size:(page + 1) * size] = bytes(size)
            else:
                for _ in range(rng.randint(1, 8)):
                    at = page * size + rng.randrange(size)
                    m[at] ^= 1 << rng.randrange(8)
        name = "m%04d_%s_%s" % (len(plan), how, fixture)
        with open(os.path.join(work, "files", name), "wb") as f:
            f.write(m)
        plan.append(name)
with open(os.path.join(work, "plan.txt"), "w") as f:
    f.write("\n".join(plan) + "\n")
PY

start=$(date +%s)
for r in $READERS; do sed "s/\$/ $r/" "$WORK/plan.txt"; done |
  xargs -P "$JOBS" -L1 bash -c 'import "$WORK/files/$0" "${1}_$0" "$1"'
secs=$(($(date +%s) - start))

python3 - "$WORK" "$COUNT" "$secs" "${KEEP:-}" <<'PY'
import os, re, shutil, sys, xml.etree.ElementTree as ET
work, count, secs, keep = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]

DATE = re.compile(r"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d$")

def measures(path):
    """What an import can lose, as counts."""
    root = ET.parse(path).getroot()
    m = {}
    def add(k, v=1):
        m[k] = m.get(k, 0) + v
    for t in root.iter("TABLE"):
        add("tables")
        if DATE.match(t.get("Created_On", "")): add("creation dates")
        for c in t.findall("COLUMN"):
            add("columns")
            for a in ("Column_Default", "Check_Constraint", "Description", "Primary_Key"):
                if c.get(a): add(a)
            if c.get("Null_Allowed") == "False": add("required")
            if c.get("Data_Type", c.get("Datatype", "")) not in ("", "Complex"): add("type names")
            if int(c.get("Precision", c.get("Length", "0")) or 0) <= 255: add("sizes Jet allows")
        for x in t.findall("INDEX"):
            add("indexes")
            add("index columns", len(x.findall("COLUMN")))
        add("foreign key columns", len(t.findall("FOREIGNKEY")))
        add("privileges", len(t.findall("PRIVILEGE")))
        add("rights granted", sum(list(p.attrib.values()).count("Yes") for p in t.findall("PRIVILEGE")))
    for v in root.iter("VIEW"):
        add("views")
        if DATE.match(v.get("Created_On", "")): add("creation dates")
        sql = "".join(v.itertext())
        add("SQL characters", len(sql))
        if re.search(r"\bFROM\s*;", sql) or not sql.strip(): add("views without SQL")
    return m

intact = {}
for name in os.listdir(os.path.join(work, "runs")):
    if name.startswith("intact_"):
        intact[name[len("intact_"):]] = measures(os.path.join(work, "runs", name, "structure.xml"))

readers = os.environ.get("READERS", "dao adox").split()
runs = [(r, n) for r in readers for n in open(os.path.join(work, "plan.txt")).read().split()]
crashes, hangs, silent, warned, failed, ok = [], [], [], [], 0, 0
for reader, file in runs:
    name = reader + "_" + file
    d = os.path.join(work, "runs", name)
    status = open(os.path.join(d, "status")).read().strip()
    out = open(os.path.join(d, "out.txt"), errors="replace").read()
    fixture = reader + "_" + file.split("_", 2)[2]
    if status == "hang":
        hangs.append(name); continue
    if int(status) > 128 or "DATABASE 1:" not in out:
        crashes.append(name); continue
    if status != "0" or "DATABASE 1: 0 " not in out:
        failed += 1; continue
    m = measures(os.path.join(d, "structure.xml"))
    lost = [k for k, v in intact[fixture].items() if m.get(k, 0) < v and k != "views without SQL"]
    if m.get("views without SQL", 0) > intact[fixture].get("views without SQL", 0): lost.append("views without SQL")
    if lost:
        err = open(os.path.join(d, "err.txt"), errors="replace").read()
        (warned if "Warning in " in err else silent).append(name + " (" + ", ".join(lost) + ")"); continue
    ok += 1

def show(title, names):
    print("%-16s %5d  (%.1f per 1,000 runs)" % (title, len(names), 1000.0 * len(names) / len(runs)))
    for n in names[:20]: print("   ", n)
    if keep:
        os.makedirs(keep, exist_ok=True)
        for n in names: shutil.copy(os.path.join(work, "files", n.split(" ")[0].split("_", 1)[1]), keep)
print("%d mutations, %d runs (%s) in %s s" % (count, len(runs), " ".join(readers), secs))
show("crashes", crashes)
show("hangs", hangs)
show("silent successes", silent)
show("warned successes", warned)
print("%-16s %5d" % ("failed, reported", failed))
print("%-16s %5d" % ("imported whole", ok))
PY
