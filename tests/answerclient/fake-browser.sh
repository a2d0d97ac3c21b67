#!/bin/sh
# Stands in for the user's browser: opens the authorization page once (the development
# service approves at once) and hands the redirect back the way a browser would.
[ -n "$NOTCHORA_TEST_BROWSER_DELAY" ] && sleep "$NOTCHORA_TEST_BROWSER_DELAY"
location=$(curl -s -o /dev/null -w '%{redirect_url}' "$1") || exit 1
if [ -n "$NOTCHORA_TEST_OUTPUT_DIR" ]; then
    # For the secrets check: the redirect (with its code) is remembered apart, and what the
    # program says while handling it is kept with the other outputs.
    printf '%s\n' "$location" >> "$NOTCHORA_TEST_OUTPUT_DIR/redirects"
    exec "$NOTCHORA_BIN_DIR/notchora" "$location" >> "$NOTCHORA_TEST_OUTPUT_DIR/browser.log" 2>&1
else
    exec "$NOTCHORA_BIN_DIR/notchora" "$location"
fi
