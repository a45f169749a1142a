#!/usr/bin/env bash
# The digits on the screen against the truth taken in the same second:
#  - before the first second every cell shows 0: 00/00 00:00, 0000.000, 0000.000;
#  - then month/day and hour:minute of the local clock (a minute may roll over
#    between the two readings around the screenshot), under the prefix's own
#    Japanese formats (yyyy/M/d in Wine) and again under LANG=C (M/d/yyyy and a
#    12-hour clock);
#  - total memory as Windows reports it, in KB while the total in KB has at most
#    seven digits, otherwise in MB (1024 KB), rounded down;
#  - free memory in the same unit, close to what Windows reports at that moment.
source "$(dirname "$0")/lib.sh"
e2e_setup ja_JP.UTF-8

# fmt_mem BYTES UNIT_KB: the seven cells with the fixed dot, e.g. 0523.760
fmt_mem() {
    awk -v b="$1" -v u="$2" 'BEGIN { v = int(b / 1024 / u); if (v > 9999999) v = 9999999
                                     s = sprintf("%07d", v); print substr(s, 1, 4) "." substr(s, 5, 3) }'
}

e2e_start
# The last picture before the settle step moves the window (empty store: it moves
# from the load step's place to the corner) shows the first second.
shot_before_move "$T/early.png" 8 || e2e_fail "no picture of the first second (the window moved at once or never)"
e2e_expect_eq "digits before the first second" "00/00 00:00 0000.000 0000.000" "$(decode_digits "$T/early.png")"

wait_settled 8 || e2e_fail "the total memory was never drawn (upper strip still 0000.000 after 8 s)"
sleep 1    # the free memory is first drawn 200 ms after the settle step

read -r total avail <<<"$(memstat)"
[ -n "$total" ] || e2e_fail "memstat gave no figures"
total_kb=$((total / 1024))
if [ "$total_kb" -le 9999999 ]; then unit=1; unit_name=KB; else unit=1024; unit_name=MB; fi
want_total=$(fmt_mem "$total" "$unit")
e2e_log "Windows reports total $total bytes ($total_kb KB): the gadget shows $unit_name, $want_total"
# Free memory moves: accept 5 % of the total around the reading.
band=$((total / 1024 / unit / 20))

for i in 1 2 3; do
    before=$(date '+%m/%d %H:%M')
    screenshot "$WID" "$T/shot$i.png"
    after=$(date '+%m/%d %H:%M')
    read -r _ avail <<<"$(memstat)"
    got=$(decode_digits "$T/shot$i.png")
    read -r gdate gtime gtotal gfree <<<"$got"
    e2e_log "sample $i: screen '$got', clock $before..$after, free $((avail / 1024 / unit)) $unit_name"
    if [ "$gdate $gtime" = "$before" ] || [ "$gdate $gtime" = "$after" ]; then
        echo "ok: date and time $gdate $gtime" >&2
    else
        e2e_expect_eq "sample $i: date and time" "$before" "$gdate $gtime"
    fi
    e2e_expect_eq "sample $i: total memory" "$want_total" "$gtotal"
    free_shown=$(tr -d . <<<"$gfree")
    if [[ "$free_shown" =~ ^[0-9]{7}$ ]]; then
        free_shown=$((10#$free_shown))
        free_true=$((avail / 1024 / unit))
        dist=$((free_shown > free_true ? free_shown - free_true : free_true - free_shown))
        e2e_check "sample $i: free memory $free_shown $unit_name within $band of $free_true" [ "$dist" -le "$band" ]
        e2e_check "sample $i: free memory not above the total" [ "$free_shown" -le $((total / 1024 / unit)) ]
    else
        e2e_check "sample $i: free memory readable ('$gfree')" false
    fi
    sleep 1.5
done
e2e_close_and_wait 20

# The English locale's formats, same prefix: the same true date and time.
export LANG=C LC_ALL=C
e2e_start
wait_settled 8 || e2e_fail "LANG=C: the total memory was never drawn"
sleep 1
before=$(date '+%m/%d %H:%M')
screenshot "$WID" "$T/shot_c.png"
after=$(date '+%m/%d %H:%M')
got=$(decode_digits "$T/shot_c.png" | cut -d' ' -f1,2)
[ "$got" = "$after" ] && want=$after || want=$before
e2e_expect_eq "LANG=C: date and time" "$want" "$got"
e2e_close_and_wait 20
e2e_pass
