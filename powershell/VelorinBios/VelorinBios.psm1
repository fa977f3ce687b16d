# The script module behind VelorinBios.psd1. Every command runs VelorinBiosConfigTool once
# and turns its output into objects; the helpers in Private do the process handling and the
# parsing, one command per file in Public.

Set-StrictMode -Version 2.0

# Raised for every run of the tool that ends with an exit code the command does not accept.
# The message is the tool's own error message; the exit code and the whole output travel
# with it so that scripts can branch on them.
class VelorinBiosToolException : System.Exception {
    [int] $ExitCode
    [string] $Output
    # 'NotVelorin', 'UnsupportedRevision' or 'ToolFailed': lets fleet scripts tell a machine
    # the tool does not apply to from a failed check.
    [string] $Reason

    VelorinBiosToolException([string] $message, [int] $exitCode, [string] $output, [string] $reason) : base($message) {
        $this.ExitCode = $exitCode
        $this.Output = $output
        $this.Reason = $reason
    }
}

$script:ModuleRoot = $PSScriptRoot

foreach ($folder in 'Private', 'Public') {
    $files = Get-ChildItem -LiteralPath (Join-Path $PSScriptRoot $folder) -Filter '*.ps1' | Sort-Object Name
    foreach ($file in $files) {
        . $file.FullName
    }
}

# One public command per file of Public, named as its file; the manifest lists the same names
# for auto-loading, and a test holds the two together. The only aliases are the former names
# that the public commands declare with [Alias()].
Export-ModuleMember -Alias '*' -Function @(Get-ChildItem -LiteralPath (Join-Path $PSScriptRoot 'Public') -Filter '*.ps1' |
        ForEach-Object { $_.BaseName })
