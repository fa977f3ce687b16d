# Shared by the test files: the module under test, the tool, and machine files written into
# TestDrive. Dot-sourced from each file's BeforeAll.

$RepoRoot = (Resolve-Path (Join-Path $PSScriptRoot '../..')).Path
$ModulePath = Join-Path $RepoRoot 'powershell/VelorinBios'
$Tool = $env:VELORIN_TEST_TOOL
if (-not $Tool) {
    $Tool = Join-Path $RepoRoot 'build/VelorinBiosConfigTool'
}
$Latin1 = [System.Text.Encoding]::GetEncoding(28591)
$Password = 'S3cret!'

Import-Module $ModulePath -Force
# Only -MachineFile or the sample machine decides what the tool sees; the sample machine
# keeps its saved state in TestDrive.
Remove-Item Env:VELORIN_MACHINE -ErrorAction SilentlyContinue
$env:VELORIN_BIOS_TOOL = $Tool
$env:XDG_STATE_HOME = Join-Path $TestDrive 'state'

# A small Velorin machine: read-only options, an item without options, an accented option,
# the supervisor password set.
$SmallMachine = @"
revision 6
manufacturer "Velorin Corporation"
supervisor-password "$Password"
item 0x0100 "Boot Mode" current 1
  option "UEFI"
  option "Legacy" readonly
item 0x0101 "Wake On LAN" current 2
  option "Enabled"
  option "Disabled"
  option "LAN Only"
item 0x0102 "Langue" current 1
  option "English"
  option "Fran\xE7ais"
item 0x0103 "Lock Mode" current 1
  option "Locked" readonly
  option "Open"
item 0x0200 "Asset Tag" current 0
  value "A-1042"
item 0x3000 "Supervisor Password" current 0
"@

function New-TestMachine {
    param([string] $Text = $SmallMachine, [string] $Name = 'machine.txt')
    $path = Join-Path $TestDrive $Name
    Remove-Item -LiteralPath "$path.nvram" -ErrorAction SilentlyContinue
    [System.IO.File]::WriteAllText($path, $Text)
    return $path
}

# A configuration file as bytes: the lines given, each ended with CR LF.
function New-TestConfiguration {
    param([string[]] $Line, [string] $Name = 'config.txt')
    $path = Join-Path $TestDrive $Name
    [System.IO.File]::WriteAllBytes($path, $Latin1.GetBytes((($Line | ForEach-Object { "$_`r`n" }) -join '')))
    return $path
}

function ConvertTo-TestSecureString([string] $Text) {
    $secure = New-Object System.Security.SecureString
    foreach ($character in $Text.ToCharArray()) {
        $secure.AppendChar($character)
    }
    return $secure
}

# Runs the tool itself in a folder of TestDrive and returns the bytes of the file /get /o wrote.
function Get-ToolExport {
    param([string] $MachineFile)
    $folder = Join-Path $TestDrive ('tool-' + [guid]::NewGuid().ToString('N'))
    [void](New-Item -ItemType Directory -Path $folder)
    Push-Location $folder
    try {
        if ($MachineFile) { $env:VELORIN_MACHINE = $MachineFile }
        & $Tool /get /o export.txt | Out-Null
    }
    finally {
        Remove-Item Env:VELORIN_MACHINE -ErrorAction SilentlyContinue
        Pop-Location
    }
    return [System.IO.File]::ReadAllBytes((Join-Path $folder 'export.txt'))
}

# The error record of a terminating error of the script block.
function Get-TerminatingError([scriptblock] $Script) {
    try {
        & $Script | Out-Null
    }
    catch {
        return $_
    }
    throw 'The command did not fail.'
}

# The recording stand-in for the tool: record-tool.sh where a Unix program can stand at
# -ToolPath, else the Windows one named by VELORIN_TEST_RECORDER (record-tool.exe, built by
# scripts/test-windows-powershell.sh from tests/winhost/record-tool.c).
function Get-RecordingTool {
    if (Test-TestCapability UnixTool) {
        return Join-Path $PSScriptRoot 'record-tool.sh'
    }
    return $env:VELORIN_TEST_RECORDER
}

# Puts the recording stand-in in front of the tool: returns its path, to give as -ToolPath; the
# runs are kept in a new folder of TestDrive until Stop-ToolRecording.
function Start-ToolRecording([string] $Name) {
    Assert-TestCapability RecordingTool
    $script:RecordFolder = Join-Path $TestDrive ($Name + '-' + [guid]::NewGuid().ToString('N'))
    [void](New-Item -ItemType Directory -Path $script:RecordFolder)
    $env:VELORIN_RECORD_DIR = $script:RecordFolder
    $env:VELORIN_REAL_TOOL = $Tool
    return Get-RecordingTool
}

# The runs that the recording stand-in kept in Folder, oldest first, each with its Arguments
# and its Input.
function Get-RecordedRun([string] $Folder) {
    $runs = Get-ChildItem -LiteralPath $Folder -Filter '*.args' | Sort-Object Name | ForEach-Object {
        @{
            Arguments = @([System.IO.File]::ReadAllText($_.FullName).TrimEnd([char]0).Split([char]0))
            Input     = [System.IO.File]::ReadAllText(($_.FullName -replace '\.args$', '.stdin'))
        }
    }
    return , @($runs)
}

# Ends the recording and returns its runs.
function Stop-ToolRecording {
    Remove-Item Env:VELORIN_RECORD_DIR, Env:VELORIN_REAL_TOOL -ErrorAction SilentlyContinue
    return , (Get-RecordedRun $script:RecordFolder)
}


# PowerShell itself, to start scripts in a PowerShell of their own: pwsh found by name where
# the system finds programs by name, else the program running now (Wine's PowerShell finds
# nothing on the Unix PATH).
$Pwsh = Get-Command -Name pwsh -CommandType Application -ErrorAction SilentlyContinue | Select-Object -First 1 -ExpandProperty Source
if (-not $Pwsh) {
    $Pwsh = [System.Environment]::ProcessPath
}

# What some tests need of the system beyond PowerShell, each with a probe and the reason given
# when it fails; probed once per test file, on first use.
$TestCapabilityProbe = @{
    UnixTool        = @{
        Reason = 'no Unix program (a shell-script stand-in, /bin/true) can stand at -ToolPath here'
        Probe  = { Test-UnixProgramStart }
    }
    RecordingTool   = @{
        Reason = 'there is no recording stand-in for the tool here (a Windows one is given by VELORIN_TEST_RECORDER)'
        Probe  = { $recorder = Get-RecordingTool; $recorder -and (Test-Path -LiteralPath $recorder -PathType Leaf) }
    }
    CharacterDevice = @{
        Reason = 'there is no /dev/zero here'
        Probe  = { Test-Path -LiteralPath '/dev/zero' }
    }
    Fifo            = @{
        Reason = 'there is no mkfifo here to make a FIFO with'
        Probe  = { Test-TestProgram 'mkfifo' }
    }
    SymbolicLink    = @{
        Reason = 'there is no ln here to make a symbolic link with'
        Probe  = { Test-TestProgram 'ln' }
    }
    OpenSsl         = @{
        Reason = 'there is no openssl here to make and read escrow certificates and records with'
        Probe  = { Test-TestProgram 'openssl' }
    }
    AclReadBack     = @{
        Reason = 'this system keeps no Windows access rules on a folder (Wine accepts Set-Acl and stores nothing)'
        Probe  = { Test-AclReadBack }
    }
    StoreProtection = @{
        Reason = 'the password store cannot be protected here: this Windows keeps no access rules (Wine accepts Set-Acl and stores nothing)'
        Probe  = { -not $IsWindows -or (Test-AclReadBack) }
    }
    CmsEncryption   = @{
        Reason = 'this system cannot encrypt a CMS envelope to a certificate'
        Probe  = { Test-CmsEncryption }
    }
}
$TestCapability = @{}

function Test-TestProgram([string] $Name) {
    return [bool](Get-Command -Name $Name -CommandType Application -ErrorAction SilentlyContinue)
}

# True when /bin/sh starts as a program and its exit code comes back: Wine starts Unix programs
# but gives the caller no process to wait on.
function Test-UnixProgramStart {
    try {
        $process = [System.Diagnostics.Process]::Start('/bin/sh', '-c "exit 7"')
        $process.WaitForExit()
        return $process.ExitCode -eq 7
    }
    catch {
        return $false
    }
}

# True when a folder given protected access rules reads them back so.
function Test-AclReadBack {
    if (-not (Get-Command -Name Set-Acl -ErrorAction SilentlyContinue) -or -not $IsWindows) {
        return $false
    }
    $folder = Join-Path ([System.IO.Path]::GetTempPath()) ('velorin-probe-' + [guid]::NewGuid().ToString('N'))
    $security = New-Object System.Security.AccessControl.DirectorySecurity
    $security.SetAccessRuleProtection($true, $true)
    try {
        [void](New-Item -ItemType Directory -Path $folder)
        Set-Acl -LiteralPath $folder -AclObject $security
        return (Get-Acl -LiteralPath $folder).AreAccessRulesProtected
    }
    catch {
        return $false
    }
    finally {
        Remove-Item -LiteralPath $folder -Recurse -Force -ErrorAction SilentlyContinue
    }
}

# True when a self-signed certificate can be made and a CMS envelope encrypted to it.
function Test-CmsEncryption {
    try {
        $rsa = [System.Security.Cryptography.RSA]::Create(2048)
        $request = New-Object System.Security.Cryptography.X509Certificates.CertificateRequest ('CN=Velorin probe', $rsa,
            [System.Security.Cryptography.HashAlgorithmName]::SHA256, [System.Security.Cryptography.RSASignaturePadding]::Pkcs1)
        $certificate = $request.CreateSelfSigned([datetimeoffset]::Now, [datetimeoffset]::Now.AddDays(1))
        $content = New-Object System.Security.Cryptography.Pkcs.ContentInfo (, [byte[]](1, 2, 3))
        $envelope = New-Object System.Security.Cryptography.Pkcs.EnvelopedCms ($content)
        $envelope.Encrypt((New-Object System.Security.Cryptography.Pkcs.CmsRecipient ($certificate)))
        return $envelope.Encode().Length -gt 0
    }
    catch {
        return $false
    }
}

# True when the system has every capability named.
function Test-TestCapability([string[]] $Name) {
    foreach ($capability in $Name) {
        if (-not $TestCapability.ContainsKey($capability)) {
            $TestCapability[$capability] = [bool](& $TestCapabilityProbe[$capability].Probe)
        }
        if (-not $TestCapability[$capability]) {
            return $false
        }
    }
    return $true
}

# Marks the running test skipped, with the reason, when the system lacks a capability it needs
# (from an It or a BeforeEach).
function Assert-TestCapability([string[]] $Name) {
    foreach ($capability in $Name) {
        if (-not (Test-TestCapability $capability)) {
            Set-ItResult -Skipped -Because $TestCapabilityProbe[$capability].Reason
        }
    }
}
