function Export-VelorinBiosMachine {
    <#
    .SYNOPSIS
    Captures this machine's BIOS interface into a machine file for rehearsals.

    .DESCRIPTION
    Runs VelorinBiosConfigTool /capture, which writes the machine as its BIOS interface
    answers into a machine file of the simulated Velorin machine, and its raw SMBIOS table
    into the file of the same name with ".smbios" added. Both are replaced at once. No
    password is read or captured, and nothing on the machine changes. Capture one PC of each
    model and hand the files to Test-VelorinBiosBaseline to try a baseline on every model.

    .PARAMETER Path
    The machine file to write. An existing file and its table are replaced.

    .PARAMETER ToolPath
    The VelorinBiosConfigTool executable; its default is in about_VelorinBios.

    .PARAMETER MachineFile
    A simulated machine file to capture instead of this machine, as about_VelorinBios
    describes.

    .EXAMPLE
    Export-VelorinBiosMachine -Path \\server\captures\ProBook-14-G3.txt

    Captures this PC; ProBook-14-G3.txt.smbios is written beside it.

    .OUTPUTS
    System.IO.FileInfo: the machine file.

    .LINK
    about_VelorinBios
    #>
    [CmdletBinding(SupportsShouldProcess = $true)]
    [OutputType([System.IO.FileInfo])]
    param(
        [Parameter(Mandatory = $true, Position = 0, ValueFromPipelineByPropertyName = $true)]
        [Alias('FullName')]
        [string] $Path,

        [string] $ToolPath = $env:VELORIN_BIOS_TOOL,

        [string] $MachineFile
    )

    begin {
        $context = New-VelorinToolContext -Cmdlet $PSCmdlet -ToolPath $ToolPath -MachineFile $MachineFile
    }

    process {
        $target = Resolve-VelorinFilePath -Path $Path -Cmdlet $PSCmdlet
        if (-not $PSCmdlet.ShouldProcess($target, 'Capture the BIOS interface into a machine file')) {
            return
        }
        # The tool takes a file name without a folder and writes beside it in its working folder.
        [void](Invoke-VelorinTool -Context $context `
                -WorkingDirectory (Split-Path -Parent $target) -Arguments '/capture', (Split-Path -Leaf $target) -Target $Path)
        return Get-Item -LiteralPath $target
    }
}
