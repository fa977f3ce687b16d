using namespace System.Text
# Seeded faults for the Windows PowerShell 5.1 check: .NET Framework 4.8.
$mode = [System.IO.UnixFileMode]'UserRead'
$latin1 = [System.Text.Encoding]::Latin1
$joined = [System.IO.Path]::Join('a', 'b')
$builder = [System.Text.StringBuilder]::new(1, 2, 3, 4, 5)
$uri = New-Object System.Uri
$list = New-Object 'System.Collections.Generic.List[Seeded.Missing]'
[string] $text = 'x'
$text.ReplaceLineEndings()
$zip = [System.IO.Compression.ZipFile]
function Stop-Seeded([System.Diagnostics.Process] $Process) { $Process.Kill($true) }
Add-Type -AssemblyName System.Security
$data = [System.Security.Cryptography.ProtectedData]::Protect([byte[]]@(1), $null, 'CurrentUser')
$fine = [System.IO.Path]::Combine('a', 'b', 'c') + [string]::Join(',', @('a')) + $text.Split(',').Count
$stream = New-Object System.IO.FileStream ('x', [System.IO.FileMode]::Open)
$stream.Flush($true)
class Seeded { [string] $Name }
$own = [Seeded]::new()
function Get-SeededName([System.Diagnostics.Process] $Process) { $Process.Name + $Process.ProcessName }
$fromUsing = [StringBuilder]::new(16)
