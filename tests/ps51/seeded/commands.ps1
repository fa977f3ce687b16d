# Seeded faults for the Windows PowerShell 5.1 check: commands and parameters.
Get-Error
Microsoft.PowerShell.Utility\Join-String -InputObject 1, 2
Get-Content -LiteralPath x -AsByteStream
Join-Path a b -AdditionalChildPath c
gc x -Raw
Get-ChildItem -Fi x
Test-Seeded -Anything
function Test-Seeded { param($Anything) }
Get-Content -LiteralPath x -Encoding UTF8 -ErrorAction Stop -Verbose:$false -Tail 1
Set-Content -LiteralPath x -Value 1 -Encoding utf8NoBOM
