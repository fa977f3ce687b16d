# Secrets made unreadable in every text the module hands on: output, errors, verbose lines.

$script:SecretMask = '********'

# Every form in which a secret can reach a text the module hands on: as given, as quoted on the
# command line, and as the tool echoes its bytes (ANSI code page on Windows, UTF-8 elsewhere)
# read back one byte per character.
function Get-VelorinSecretForm {
    param([string] $Secret)

    $forms = New-Object System.Collections.Generic.List[string]
    foreach ($encoding in @([System.Text.Encoding]::UTF8, [System.Text.Encoding]::Default)) {
        $forms.Add($script:Latin1.GetString($encoding.GetBytes($Secret)))
    }
    $forms.Add((ConvertTo-VelorinCommandLineArgument $Secret))
    $forms.Add($Secret)
    # Each text once, compared as Replace compares (ordinal): two different forms of the same
    # length are both kept. The longest first, so that no part of a longer form is left beside
    # the mask.
    $unique = New-Object 'System.Collections.Generic.HashSet[string]' ([System.StringComparer]::Ordinal)
    $distinct = @($forms | Where-Object { $unique.Add($_) })
    return @($distinct | Sort-Object Length -Descending)
}

# Every text that must not leave the module (a new password the tool echoes) becomes asterisks.
function Hide-VelorinSecret {
    param([string] $Text, [string[]] $Secret)
    foreach ($value in $Secret) {
        if (-not $value) {
            continue
        }
        foreach ($form in (Get-VelorinSecretForm $value)) {
            $Text = $Text.Replace($form, $script:SecretMask)
        }
    }
    return $Text
}

# The command line as a verbose line shows it: a secret argument is masked before it is quoted.
function Format-VelorinShownCommandLine {
    param([string[]] $Arguments, [string[]] $Secret)

    $shown = foreach ($argument in $Arguments) {
        if ([System.Array]::IndexOf([string[]]$Secret, $argument) -ge 0) {
            $script:SecretMask
        }
        else {
            ConvertTo-VelorinCommandLineArgument (Hide-VelorinSecret -Text $argument -Secret $Secret)
        }
    }
    return $shown -join ' '
}
