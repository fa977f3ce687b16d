# UTF-8 with a byte-order mark reads the same in 5.1.
$word = "café"
