<#
.SYNOPSIS
Writes docs/module-reference.md from the comment-based help of the VelorinBios module.

.DESCRIPTION
Imports powershell/VelorinBios from this checkout and turns the help of every exported
function (synopsis, syntax, description, parameters, examples, outputs, links) and the topic
about_VelorinBios into one Markdown page. The page is generated, never edited by hand: change
the help in the command's file and run this script again.

With -Check it writes nothing and fails (exit 1) when the committed page differs from what
the help gives today, so the page cannot go stale; scripts/check-format.sh runs it so.

.PARAMETER Path
The page to write or compare; by default docs/module-reference.md of this checkout.

.PARAMETER Check
Compare instead of write.

.EXAMPLE
pwsh -NoProfile -File scripts/make-module-reference.ps1

Writes docs/module-reference.md again after a command's help changed.
#>
[CmdletBinding()]
param(
    [string] $Path,
    [switch] $Check
)
Set-StrictMode -Version Latest
$ErrorActionPreference = 'Stop'

$root = Split-Path -Parent $PSScriptRoot
if (-not $Path) {
    $Path = Join-Path (Join-Path $root 'docs') 'module-reference.md'
}
$moduleFolder = Join-Path (Join-Path $root 'powershell') 'VelorinBios'
$aboutFile = Join-Path (Join-Path $moduleFolder 'en-US') 'about_VelorinBios.help.txt'
# Parameters every advanced function has; Get-Command -Syntax shows them; their help is PowerShell's.
$commonParameters = @('WhatIf', 'Confirm')

# Help text as Markdown prose: characters Markdown would read as markup are escaped, and a
# backslash only where it stands before punctuation (a path such as C:\Program Files stays).
function ConvertTo-MarkdownText {
    param([string] $Text)
    $escaped = [regex]::Replace($Text, '\\(?=[!-/:-@\[-`{-~])', '\\')
    [regex]::Replace($escaped, '[`*_<>\[\]]', '\$0')
}

# The text items of a help field (description, remarks) as one block of paragraphs.
function Join-HelpText {
    param([object[]] $Items)
    $texts = foreach ($item in @($Items)) {
        if ($null -ne $item -and $item.PSObject.Properties['Text'] -and $item.Text) { $item.Text }
    }
    $joined = (@($texts) -join "`n`n") -replace "`r`n", "`n"
    ($joined -replace "(?m)[ `t]+$", '').Trim()
}

function Get-HelpProperty {
    param([object] $Object, [string] $Name)
    if ($null -eq $Object) { return $null }
    $property = $Object.PSObject.Properties[$Name]
    if ($property) { $property.Value } else { $null }
}

function Format-Parameter {
    param([object] $Parameter)
    $facts = @("Type: ``$($Parameter.type.name)``")
    $required = if ($Parameter.required -eq 'true') { 'yes' } else { 'no' }
    $facts += "required: $required"
    $facts += "position: $(([string]$Parameter.position).Trim())"
    $default = Get-HelpProperty $Parameter 'defaultValue'
    if ($default) { $facts += "default: ``$(([string]$default).Trim())``" }
    $facts += "pipeline input: $(([string]$Parameter.pipelineInput).Trim())"
    $lines = @("### -$($Parameter.name)", '', ($facts -join '; ') + '.')
    $text = Join-HelpText (Get-HelpProperty $Parameter 'description')
    if ($text) { $lines += @('', (ConvertTo-MarkdownText $text)) }
    $lines + ''
}

function Format-Example {
    param([object] $Example, [int] $Number)
    $lines = @("### Example $Number", '', '```powershell', ($Example.code -replace "`r`n", "`n").Trim(), '```')
    $remarks = Join-HelpText (Get-HelpProperty $Example 'remarks')
    if ($remarks) { $lines += @('', (ConvertTo-MarkdownText $remarks)) }
    $lines + ''
}

function Format-Command {
    param([string] $Name)
    $help = Get-Help -Name $Name -Full
    $lines = @("## $Name", '', (ConvertTo-MarkdownText ([string]$help.Synopsis).Trim()), '', '```')
    $syntax = (Get-Command -Name $Name -Syntax) -replace "`r`n", "`n"
    $lines += @($syntax -split "`n" | Where-Object { $_.Trim() }) + @('```', '')
    $aliases = @(Get-Alias -Definition $Name -ErrorAction SilentlyContinue | ForEach-Object { '`' + $_.Name + '`' })
    if ($aliases.Count -gt 0) { $lines += @("**Former name, still an alias:** $($aliases -join ', ')", '') }
    $description = Join-HelpText (Get-HelpProperty $help 'description')
    if ($description) { $lines += @((ConvertTo-MarkdownText $description), '') }
    $parameters = @(Get-HelpProperty (Get-HelpProperty $help 'parameters') 'parameter' |
            Where-Object { $_ -and $commonParameters -notcontains $_.name })
    if ($parameters.Count -gt 0) { $lines += @('**Parameters**', '') }
    foreach ($parameter in $parameters) { $lines += Format-Parameter $parameter }
    $examples = @(Get-HelpProperty (Get-HelpProperty $help 'examples') 'example' | Where-Object { $_ })
    for ($i = 0; $i -lt $examples.Count; $i++) { $lines += Format-Example $examples[$i] ($i + 1) }
    $outputs = @(Get-HelpProperty (Get-HelpProperty $help 'returnValues') 'returnValue' | Where-Object { $_ })
    if ($outputs.Count -gt 0) {
        $names = @($outputs | ForEach-Object { '`' + ([string]$_.type.name).Trim() + '`' })
        $lines += @("**Outputs:** $($names -join ', ')", '')
    }
    $links = @(Get-HelpProperty (Get-HelpProperty $help 'relatedLinks') 'navigationLink' | Where-Object { $_ })
    if ($links.Count -gt 0) {
        $texts = @($links | ForEach-Object { '`' + ([string]$_.linkText).Trim() + '`' })
        $lines += @("**See also:** $($texts -join ', ')", '')
    }
    $lines
}

function Get-ReferenceText {
    $module = Import-Module -Name (Join-Path $moduleFolder 'VelorinBios.psd1') -Force -PassThru
    $names = @(Get-Command -Module $module.Name -CommandType Function | ForEach-Object { $_.Name } |
            Sort-Object)
    $lines = @(
        '# VelorinBios module reference', ''
        "<!-- Generated by scripts/make-module-reference.ps1 from the module's comment-based help;"
        '     do not edit: change the help and run the script again. -->', ''
        "The public commands of the PowerShell module VelorinBios $($module.Version), as"
        '`Get-Help <command> -Full` shows them on a PC where the module is installed, followed by'
        'the topic `about_VelorinBios` (`Get-Help about_VelorinBios`), which describes what every'
        'command shares (`-ToolPath`, `-MachineFile`, errors, passwords).', ''
        '| Command | Synopsis |', '|---|---|'
    )
    foreach ($name in $names) {
        $synopsis = ConvertTo-MarkdownText ([string](Get-Help -Name $name).Synopsis).Trim()
        $anchor = $name.ToLowerInvariant()
        $lines += "| [$name](#$anchor) | $($synopsis -replace '\|', '\|') |"
    }
    $lines += ''
    foreach ($name in $names) { $lines += Format-Command $name }
    $about = ([IO.File]::ReadAllText($aboutFile) -replace "`r`n", "`n").TrimEnd()
    $lines += @('## about_VelorinBios', '', '```text', $about, '```')
    Remove-Module -Name $module.Name -Force
    ($lines -join "`n") + "`n"
}

$text = Get-ReferenceText
if ($Check) {
    $committed = ''
    if (Test-Path -LiteralPath $Path -PathType Leaf) {
        $committed = [IO.File]::ReadAllText($Path) -replace "`r`n", "`n"
    }
    if ($committed -ne $text) {
        Write-Output "$Path differs from the module's help: run scripts/make-module-reference.ps1"
        exit 1
    }
    Write-Output "$Path matches the module's help"
    exit 0
}
[IO.File]::WriteAllText($Path, $text, (New-Object System.Text.UTF8Encoding $false))
Write-Output "wrote $Path"
