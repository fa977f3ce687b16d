# The tool reads and writes only in its working folder: every run gets a private one.

# The tool's private working folder. Created and removed through .NET, not New-Item and
# Remove-Item, so that -WhatIf on the calling command does not reach them.
function New-VelorinWorkFolder {
    $folder = Join-Path ([System.IO.Path]::GetTempPath()) ('VelorinBios-' + [guid]::NewGuid().ToString('N'))
    [void][System.IO.Directory]::CreateDirectory($folder)
    return $folder
}

function Remove-VelorinWorkFolder {
    param([string] $Folder)
    if ($Folder -and [System.IO.Directory]::Exists($Folder)) {
        [System.IO.Directory]::Delete($Folder, $true)
    }
}
