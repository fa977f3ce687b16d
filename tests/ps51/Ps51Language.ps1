# Syntax that PowerShell 7 parses and Windows PowerShell 5.1 does not, or runs otherwise.

$Ps51NewerVariables = @('IsWindows', 'IsLinux', 'IsMacOS', 'IsCoreCLR', 'PSStyle', 'EnabledExperimentalFeatures',
    'PSNativeCommandArgumentPassing', 'PSNativeCommandUseErrorActionPreference')

function New-Ps51Finding($Extent, [string] $Kind, [string] $Message) {
    [pscustomobject]@{ Line = $Extent.StartLineNumber; Kind = $Kind; Message = $Message }
}

function Test-Ps51ScriptBlockReplace($Node) {
    $Node.Operator -match 'replace$' -and $Node.Right -is [System.Management.Automation.Language.ArrayLiteralAst] -and
    @($Node.Right.Elements | Where-Object { $_ -is [System.Management.Automation.Language.ScriptBlockExpressionAst] }).Count -gt 0
}

# The finding's text for one node, or nothing.
function Get-Ps51LanguageMessage($Node) {
    switch ($Node.GetType().Name) {
        'TernaryExpressionAst' { return 'ternary operator' }
        'PipelineChainAst' { return '&& or || pipeline chain' }
        'BinaryExpressionAst' {
            if ($Node.Operator -eq 'QuestionQuestion') { return 'null-coalescing operator ??' }
            if (Test-Ps51ScriptBlockReplace $Node) { return '-replace with a script block' }
        }
        'AssignmentStatementAst' { if ($Node.Operator -eq 'QuestionQuestionEquals') { return 'null-coalescing assignment ??=' } }
        'MemberExpressionAst' { if ($Node.NullConditional) { return 'null-conditional member access ?.' } }
        'InvokeMemberExpressionAst' {
            if ($Node.NullConditional) { return 'null-conditional member access ?.' }
            if ($Node.GenericTypeArguments) { return 'generic method call ::Name[type]()' }
        }
        'IndexExpressionAst' { if ($Node.NullConditional) { return 'null-conditional index ?[]' } }
        'PipelineAst' { if ($Node.Background) { return '& background operator' } }
        'ScriptBlockAst' { if ($Node.CleanBlock) { return 'clean block' } }
        'VariableExpressionAst' {
            if ($Ps51NewerVariables -contains $Node.VariablePath.UserPath) { return "automatic variable `$$($Node.VariablePath.UserPath)" }
        }
    }
    return $null
}

# Tokens 5.1 reads otherwise: the `u{} and `e escapes (5.1 reads the letter), and the number
# suffixes and binary literals of PowerShell 7.
function Get-Ps51TokenMessage($Token) {
    if ($Token.Kind -eq 'StringExpandable' -or $Token.Kind -eq 'HereStringExpandable') {
        if ($Token.Text -cmatch '`u\{') { return 'escape `u{} in a string' }
        if ($Token.Text -cmatch '`e') { return 'escape `e in a string' }
    }
    if ($Token.Kind -eq 'Number') {
        if ($Token.Text -match '^0b[01]') { return "binary literal $($Token.Text)" }
        if ($Token.Text -match '^[0-9.]+(e[+-]?[0-9]+)?(uy|y|us|s|ul|u|n)$') { return "number suffix in $($Token.Text)" }
    }
    return $null
}

# The node types Get-Ps51LanguageMessage looks at: only these are handed to it.
$Ps51LanguageNodes = [System.Collections.Generic.HashSet[string]]@('TernaryExpressionAst', 'PipelineChainAst', 'BinaryExpressionAst',
    'AssignmentStatementAst', 'MemberExpressionAst', 'InvokeMemberExpressionAst', 'IndexExpressionAst', 'PipelineAst', 'ScriptBlockAst',
    'VariableExpressionAst')

function Find-Ps51Language($Ast, $Tokens) {
    foreach ($node in $Ast.FindAll({ $Ps51LanguageNodes.Contains($args[0].GetType().Name) }, $true)) {
        $message = Get-Ps51LanguageMessage $node
        if ($message) { New-Ps51Finding $node.Extent 'language' $message }
    }
    foreach ($token in $Tokens | Where-Object { $_.Kind -eq 'Number' -or $_.Kind -eq 'StringExpandable' -or $_.Kind -eq 'HereStringExpandable' }) {
        $message = Get-Ps51TokenMessage $token
        if ($message) { New-Ps51Finding $token.Extent 'language' $message }
    }
}
