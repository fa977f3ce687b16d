# Seeded: a file that does not parse.
function Broken {
