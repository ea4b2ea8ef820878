#!/usr/bin/env bash
# Makes the example project examples/chronicle.orvana again from its sources
# in examples/chronicle/ (the text and the link list, both UTF-8), replacing
# the old one. Run from anywhere; ORVANA_CLI names another orvana-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
cli=${ORVANA_CLI:-build/bin/orvana-cli}
"$cli" new examples/chronicle.orvana --force \
  --title "Хроника Верхних Ключей" \
  --text examples/chronicle/text.txt \
  --links examples/chronicle/links.txt \
  --template examples/chronicle/template.html \
  --out examples/site
