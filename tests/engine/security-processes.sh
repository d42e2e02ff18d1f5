#!/usr/bin/env bash
# The embedded server's security between processes, through the console as an
# administrator would use it:
#   - two first logins as sa with different passwords at the same moment: exactly one wins,
#     the other is refused with 18456, and master is made once;
#   - kill of a session whose batch runs in another process: the batch ends at once with
#     596 and what it began is rolled back.
# usage: security-processes.sh <glimora-sql>
set -u
sql=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# The single value a query returns (the line after the column names).
value() {
  local folder=$1
  shift
  "$sql" --data-dir "$folder" -U sa -P Secret1 "$@" | sed -n 2p
}

for round in 1 2 3 4 5 6 7 8; do
  dir="$work/race$round"
  "$sql" --data-dir "$dir" -U sa -P "First-$round" -Q "select 1" >"$dir.a" 2>&1 &
  a=$!
  "$sql" --data-dir "$dir" -U sa -P "Second-$round" -Q "select 1" >"$dir.b" 2>&1 &
  b=$!
  wait $a
  ra=$?
  wait $b
  rb=$?
  [ $((ra + rb)) -eq 1 ] || fail "race $round: exit codes $ra and $rb: $(cat "$dir.a" "$dir.b")"
  loser="$dir.a"
  [ $ra -eq 0 ] && loser="$dir.b"
  grep -q "^Msg 18456," "$loser" || fail "race $round: the loser got: $(cat "$loser")"
  files=$(cd "$dir" && echo *.sqlite)
  [ "$files" = "catalogue.sqlite master.sqlite" ] || fail "race $round: files $files"
done
echo "first-login race: one winner in each of 8 rounds"

dir="$work/kill"
"$sql" --data-dir "$dir" -U sa -P Secret1 -Q "create database shop" >/dev/null || fail "set-up"
"$sql" --data-dir "$dir" -U sa -P Secret1 -d shop -Q "create table t(a int) create table started(a int)" \
  >/dev/null || fail "set-up"
"$sql" --data-dir "$dir" -U sa -P Secret1 -d shop -Q "insert started values(1) begin tran insert t values(1)
  declare @n int set @n = 0 while @n >= 0 set @n = @n + 1 commit" >"$work/victim" 2>&1 &
victim=$!
for _ in $(seq 200); do
  [ "$(value "$dir" -d shop -Q "select count(*) from started")" = "1" ] && break
  sleep 0.05
done
spid=$(value "$dir" -Q "create table who(spid int, ecid int, status varchar(100), loginame varchar(100),
  hostname varchar(100), blk int, dbname varchar(100), cmd varchar(100)) insert who exec sp_who
  select spid from who where dbname = 'shop' drop table who")
[ -n "$spid" ] || fail "the victim's session is not listed"
"$sql" --data-dir "$dir" -U sa -P Secret1 -Q "kill $spid" >/dev/null || fail "kill $spid failed"
for _ in $(seq 100); do
  kill -0 $victim 2>/dev/null || break
  sleep 0.05
done
if kill -0 $victim 2>/dev/null; then
  kill $victim
  fail "the killed batch still runs after 5 seconds"
fi
wait $victim
[ $? -eq 1 ] || fail "the killed batch reported success"
grep -q "^Msg 596," "$work/victim" || fail "the victim saw: $(cat "$work/victim")"
[ "$(value "$dir" -d shop -Q "select count(*) from t")" = "0" ] || fail "the killed batch's insert stayed"
echo "kill: the victim's batch ended with 596 and was rolled back"
