#!/usr/bin/env bash
# The main job: sets up, builds, creates the sample database from examples/sample.sql and
# writes its report with a headless batch run.
#   bash scripts/run-sample.sh [html|xml|word]      (default: html)
# Output goes to build/sample/ (or $BUILD_DIR/sample/).
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
FORMAT=${1:-html}
case $FORMAT in html|xml|word) ;; *) echo "usage: $0 [html|xml|word]" >&2; exit 2 ;; esac

bash scripts/setup.sh
bash scripts/build.sh
BUILD_DIR=${BUILD_DIR:-build}
case $BUILD_DIR in /*) ;; *) BUILD_DIR=$ROOT/$BUILD_DIR ;; esac

OUT=$BUILD_DIR/sample
REPORTS=$OUT/reports
mkdir -p "$OUT"
rm -f "$OUT/sample.db"
sqlite3 "$OUT/sample.db" < examples/sample.sql

# The batch document names the database by its absolute path; '&' and '|' are escaped for sed,
# '&', '<' and '"' for XML.
xml_escape() { sed -e 's/&/\&amp;/g' -e 's/</\&lt;/g' -e 's/"/\&quot;/g' <<<"$1"; }
sed_escape() { sed -e 's/[&|\\]/\\&/g' <<<"$1"; }
DB_VALUE=$(sed_escape "$(xml_escape "$OUT/sample.db")")
DIR_VALUE=$(sed_escape "$(xml_escape "$REPORTS")")
BATCH=$OUT/sample-$FORMAT.xml
sed -e "s|@SAMPLE_DB@|$DB_VALUE|g" -e "s|@REPORT_DIR@|$DIR_VALUE|g" "examples/sample-$FORMAT.xml" > "$BATCH"

"$BUILD_DIR/bin/dalvane" "$BATCH"

case $FORMAT in
  html) REPORT=$REPORTS/html/sampleIndex1.html ;;
  xml)  REPORT=$REPORTS/sample.xml ;;
  word) REPORT=$REPORTS/sample.docx ;;
esac
if [ ! -f "$REPORT" ]; then
  echo "The report was not written: $REPORT" >&2
  exit 1
fi
echo "Report: $REPORT"
