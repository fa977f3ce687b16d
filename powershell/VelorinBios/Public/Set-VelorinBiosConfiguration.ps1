function Set-VelorinBiosConfiguration {
    <#
    .SYNOPSIS
    Applies a configuration file to the BIOS settings of this machine.

    .DESCRIPTION
    Runs VelorinBiosConfigTool /set with the file and /pwstdin: the supervisor password is
    written to the tool's standard input and never appears on a command line. Every setting
    of the file is set to its option marked "*" and the changes are saved; they take effect
    after a reboot. Returns a Velorin.BiosSetResult: the Changed and Skipped (read-only)
    settings, each with Name and Value, the numbers of Unchanged and Failed settings,
    RebootRequired, and with -Force the entries left out: Unmatched (an item of this machine
    whose wanted option it does not offer or does not let be selected, or a line where an item
    line belongs; as Test-VelorinBiosConfiguration names them) and NotOnModel (items this
    machine lacks). When the firmware refuses to set a setting, the command ends with an error
    of exit code 12 whose Output holds the tool's report; the other settings are saved all the
    same. A file that contradicts itself (an item named again with another option, a block
    that marks more than one option) is refused before the tool runs, with the error
    VelorinBiosBaselineConflict naming each such entry: the firmware would end with the last
    entry's option, and every later check would find the item differing.

    With -WhatIf it runs /check instead, shows each setting that would change and changes
    nothing; no password is used.

    .PARAMETER Path
    A configuration file, as Export-VelorinBiosConfiguration writes it, with the wanted
    options marked "*": a regular file of at most 16 MiB. Also from the pipeline (the FullName
    or PSPath of Get-ChildItem's files).

    .PARAMETER Password
    The current supervisor password.

    .PARAMETER Force
    Goes on past entries that match no setting (counted as Failed, and named in Unmatched or
    NotOnModel) instead of refusing the file.

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable; its default is in about_VelorinBios.

    .PARAMETER MachineFile
    A simulated machine file for a rehearsal, as about_VelorinBios describes.

    .EXAMPLE
    Set-VelorinBiosConfiguration -Path .\baseline.txt -Password (Read-Host -AsSecureString 'Supervisor password')

    Applies a baseline.

    .EXAMPLE
    Set-VelorinBiosConfiguration -Path .\baseline.txt -Password $password -WhatIf

    Shows what the baseline would change.

    .OUTPUTS
    Velorin.BiosSetResult

    .LINK
    about_VelorinBios
    #>
    [CmdletBinding(SupportsShouldProcess = $true)]
    [OutputType('Velorin.BiosSetResult')]
    param(
        [Parameter(Mandatory = $true, Position = 0, ValueFromPipelineByPropertyName = $true)]
        [Alias('PSPath', 'FullName')]
        [string] $Path,

        [Parameter(Mandatory = $true)]
        [System.Security.SecureString] $Password,

        [switch] $Force,

        [string] $ToolPath = $env:VELORIN_BIOS_TOOL,

        [string] $MachineFile
    )

    begin {
        $context = New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $MachineFile
    }

    process {
        Invoke-VelorinSet -Context $context -Path $Path -Force:$Force -Password $Password -Action "Apply the configuration file '$Path'"
    }
}
