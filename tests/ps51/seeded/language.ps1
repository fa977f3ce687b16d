# Seeded faults for the Windows PowerShell 5.1 check: syntax of PowerShell 7 only.
$a = $true ? 1 : 2
$b = $null ?? 'default'
$b ??= 'default'
$c = ${a}?.Length
$d = ${a}?[0]
Get-Item . && Get-Item ..
Get-Item . || Get-Item ..
1..3 | ForEach-Object -Parallel { $_ }
function Remove-Seeded { process { } clean { } }
"`u{2713} `e[0m"
$e = 0b101
$f = 1uy
Start-Sleep 1 &
'a' -replace 'a', { 'b' }
if ($IsLinux) { 'guarded' }
if ($IsMacOS) { 'guarded too' }
if ($a) { 1 } else { 2 }
$g = [System.Array]::Empty[string]()
