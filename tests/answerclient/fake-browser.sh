#!/bin/sh
# Stands in for the user's browser: opens the authorization page once (the development
# service approves at once) and hands the redirect back the way a browser would.
[ -n "$NOTCHORA_TEST_BROWSER_DELAY" ] && sleep "$NOTCHORA_TEST_BROWSER_DELAY"
location=$(curl -s -o /dev/null -w '%{redirect_url}' "$1") || exit 1
if [ -n "$NOTCHORA_TEST_CALLBACK_FILE" ]; then
    printf '%s' "$location" > "$NOTCHORA_TEST_CALLBACK_FILE.tmp" &&
        mv "$NOTCHORA_TEST_CALLBACK_FILE.tmp" "$NOTCHORA_TEST_CALLBACK_FILE"
else
    exec "$NOTCHORA_BIN_DIR/notchora" "$location"
fi
