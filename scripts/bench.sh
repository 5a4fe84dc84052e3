#!/usr/bin/env bash
# Builds the benchmarks (Release) and prints their figures. Benchmarks never
# fail on time; read the figures against the goals they print.
#   lattix_bench            encoding in memory, Lattix beside libzint
#   regdesk_list_bench      filling and sorting the register list with 100,000 rows
#   regdesk_outgoing_bench  生成条码 to the picture (with and without the self-check, and the
#                           check alone: goal under 15 ms added), and numbering on 100,000 rows
#   regdesk_people_bench    the personnel import of 5,000 names, completion per keystroke
#   regdesk_excel_list_bench the printed Excel list of 20, 200 and 1,000 rows (LibreOffice)
#   regdesk_query_bench     the query window's searches, custom sort, a 50 MB attachment and
#                           the memory used, on registers of 100,000 and 1,000,000 records
#                           (about three minutes; give other sizes as arguments to the program)
#   regdesk_settings_bench  reading a list section of document.ini with up to 200,000 entries
#   regdesk_shared_register_bench  several desks' register on PostgreSQL beside data.db with 1,000,000
#                           registrations (numbering, searches, a save) and regdesk-admin copy of
#                           100,000 with attachments, on a throwaway cluster (about three minutes)
#   regdesk_intake_bench    a one-page PDF from the drop to its list row (goal under 300 ms) and
#                           regdesk-admin intake of a folder of 50 mixed files (goal under 15 s)
#   regdesk_search_index_bench  building the search index of an older data.db of 600,000 records, in one
#                           transaction and in slices, while another desk saves (about one minute)
#   regdesk_audit_trail_bench  the trail's cost on a save that replaces a record and on F12 + Delete of
#                           1,000 records (goals: under 2 ms, under 20 %), and --verify of 1,000,000 rows
#                           (goal: under 10 s) (about two minutes)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DREGDESK_TESTS=OFF -DREGDESK_BENCHMARKS=ON >/dev/null
cmake --build "$build" -j "$(nproc)" --target lattix_bench regdesk_list_bench regdesk_outgoing_bench regdesk_people_bench \
    regdesk_excel_list_bench regdesk_query_bench regdesk_settings_bench regdesk_shared_register_bench regdesk_search_index_bench \
    regdesk_audit_trail_bench pdf417
    regdesk_intake_bench pdf417
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen}
echo "== Lattix encoding against libzint"
"$build/lattix/bench/lattix_bench"
echo "== Register list, 100,000 rows"
"$build/list/regdesk_list_bench"
echo "== Outgoing registration"
"$build/desk/bench/regdesk_outgoing_bench"
echo "== Personnel import and name completion, 5,000 names"
"$build/people/regdesk_people_bench"
echo "== Printed Excel list"
"$build/printing/regdesk_excel_list_bench"
echo "== Query window, 100,000 and 1,000,000 records"
"$build/query/regdesk_query_bench"
echo "== Settings list"
"$build/settings/regdesk_settings_bench"
echo "== Several desks' register: PostgreSQL beside data.db, 1,000,000 registrations; copying 100,000"
"$build/app/bench/regdesk_shared_register_bench"
echo "== Search index of an older data.db, 600,000 records, while another desk saves"
"$build/db/regdesk_search_index_bench"
echo "== The trail of deletions and replacements: a replacing save, F12 + Delete of 1,000, --verify of 1,000,000"
"$build/db/regdesk_audit_trail_bench"
echo "== Incoming documents from files: drop to row, regdesk-admin intake of 50 files"
"$build/app/bench/regdesk_intake_bench"
