#!/bin/sh
# Stands in for a tool that does not finish: writes its process id and its working folder into
# VELORIN_SLEEP_RECORD, then sleeps until it is ended.
echo "$$ $PWD" > "$VELORIN_SLEEP_RECORD.tmp"
mv "$VELORIN_SLEEP_RECORD.tmp" "$VELORIN_SLEEP_RECORD"
exec sleep 300
