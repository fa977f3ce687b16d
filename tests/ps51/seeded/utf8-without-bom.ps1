# Seeded: UTF-8 without a byte-order mark.
$word = "café"
