# The .NET type of an expression where the code itself says it: a cast or a typed variable, a
# string, a constructor, or a member of such a type. Anything else is unknown ($null), and
# its members are not checked.

$Ps51UntypedVariables = @('_', 'PSItem', 'this', 'args', 'input', 'null', 'true', 'false', 'Matches', 'PSBoundParameters')

# The function (or the whole file) whose variables a node sees.
function Get-Ps51Scope($Node) {
    $scope = $Node
    while ($scope.Parent) {
        $scope = $scope.Parent
        if ($scope -is [System.Management.Automation.Language.FunctionDefinitionAst]) { return $scope }
    }
    return $scope
}

function Get-Ps51TypeNameType($Context, $TypeName) {
    if ($TypeName -is [System.Management.Automation.Language.ArrayTypeName] -or $TypeName -is [System.Management.Automation.Language.GenericTypeName]) { return $null }
    if ($Context.OwnTypes.Contains($TypeName.FullName)) { return $null }
    return Resolve-Ps51TypeName $Context $TypeName.FullName
}

function Test-Ps51Exact($Context, [string] $Type) {
    if (-not $Context.Index.ContainsKey($Type)) { return $false }
    return [bool]([int]$Context.Index[$Type].Definition.Attributes -band 0x100) -or (Test-Ps51ValueType $Context $Type)
}

# The type New-Object makes, when its type name is written out.
function Get-Ps51NewObjectType($Context, $Command) {
    if ($Command.GetCommandName() -ne 'New-Object') { return $null }
    $name = Get-Ps51ConstantText (Get-Ps51NewObjectArgument $Command)['TypeName']
    if (-not $name) { return $null }
    $parsed = ConvertTo-Ps51TypeName $name
    if (-not $parsed) { return $null }
    return Get-Ps51TypeNameType $Context $parsed
}

# The type of what a statement (an assignment's right side, a pipeline in parentheses) gives.
function Get-Ps51StatementType($Context, $Statement, $Scope, [int] $Depth) {
    if ($Statement -is [System.Management.Automation.Language.PipelineAst]) {
        if ($Statement.PipelineElements.Count -ne 1) { return $null }
        $Statement = $Statement.PipelineElements[0]
    }
    if ($Statement -is [System.Management.Automation.Language.CommandExpressionAst]) { return Get-Ps51ExpressionType $Context $Statement.Expression $Scope ($Depth + 1) }
    if ($Statement -is [System.Management.Automation.Language.CommandAst]) { return Get-Ps51NewObjectType $Context $Statement }
    return $null
}

function Get-Ps51MemberType($Context, [string] $Type, $Node) {
    if (-not $Type -or $Node.Member -isnot [System.Management.Automation.Language.StringConstantExpressionAst]) { return $null }
    $name = $Node.Member.Value
    if ($Node.Static -and $name -eq 'new') { return $Type }
    $types = @(Get-Ps51Member $Context $Type $name ([bool]$Node.Static) | ForEach-Object Type | Select-Object -Unique)
    # A member declared as a class may hold a derived one, with members of its own.
    if ($types.Count -eq 1 -and $types[0] -and (Test-Ps51Exact $Context $types[0])) { return $types[0] }
    return $null
}

# The one type every write of the variable in the scope gives it, or $null; found once per
# scope and name.
function Get-Ps51VariableType($Context, [string] $Name, $Scope, [int] $Depth) {
    if ($Ps51UntypedVariables -contains $Name) { return $null }
    $key = "$($Scope.Extent.StartOffset):$Name"
    if (-not $Context.VariableTypes.ContainsKey($key)) {
        $Context.VariableTypes[$key] = $null
        $Context.VariableTypes[$key] = Find-Ps51VariableType $Context $Name $Scope $Depth
    }
    return $Context.VariableTypes[$key]
}

# The nodes of a scope that set variables, by the variable's name: parameters, assignments
# and foreach loops. Read once per scope.
function Get-Ps51ScopeWrites($Context, $Scope) {
    $key = $Scope.Extent.StartOffset
    if ($Context.ScopeWrites.ContainsKey($key)) { return $Context.ScopeWrites[$key] }
    $writes = @{}
    $setters = $Scope.FindAll({ $args[0] -is [System.Management.Automation.Language.ParameterAst] -or
            $args[0] -is [System.Management.Automation.Language.AssignmentStatementAst] -or
            $args[0] -is [System.Management.Automation.Language.ForEachStatementAst] }, $true)
    foreach ($setter in $setters) {
        $target = switch ($setter.GetType().Name) {
            'ParameterAst' { $setter.Name }
            'ForEachStatementAst' { $setter.Variable }
            default { $setter.Left }
        }
        if ($target -is [System.Management.Automation.Language.ConvertExpressionAst]) { $target = $target.Child }
        if ($target -isnot [System.Management.Automation.Language.VariableExpressionAst]) { continue }
        $name = $target.VariablePath.UserPath
        if (-not $writes.ContainsKey($name)) { $writes[$name] = [System.Collections.Generic.List[object]]::new() }
        $writes[$name].Add($setter)
    }
    $Context.ScopeWrites[$key] = $writes
    return $writes
}

# A type constraint holds for every later write; without one, every write must give the
# same type.
function Find-Ps51VariableType($Context, [string] $Name, $Scope, [int] $Depth) {
    $all = Get-Ps51ScopeWrites $Context $Scope
    if (-not $all.ContainsKey($Name)) { return $null }
    $writes = $all[$Name]
    foreach ($write in $writes) {
        $constraint = $null
        if ($write -is [System.Management.Automation.Language.ParameterAst]) {
            $constraint = @($write.Attributes | Where-Object { $_ -is [System.Management.Automation.Language.TypeConstraintAst] }) | Select-Object -First 1
        }
        elseif ($write -is [System.Management.Automation.Language.AssignmentStatementAst] -and $write.Left -is [System.Management.Automation.Language.ConvertExpressionAst]) {
            $constraint = $write.Left.Type
        }
        if ($constraint) { return Get-Ps51TypeNameType $Context $constraint.TypeName }
    }
    if (@($writes | Where-Object { $_ -isnot [System.Management.Automation.Language.AssignmentStatementAst] -or $_.Operator -ne 'Equals' }).Count) { return $null }
    $types = @($(foreach ($write in $writes) {
                $type = Get-Ps51StatementType $Context $write.Right $Scope $Depth
                if ($type) { $type } else { '?' }
            }) | Select-Object -Unique)
    if ($types.Count -eq 1 -and $types[0] -ne '?') { return $types[0] }
    return $null
}

function Get-Ps51ExpressionType($Context, $Ast, $Scope, [int] $Depth) {
    if ($Depth -gt 8) { return $null }
    switch ($Ast.GetType().Name) {
        'ConvertExpressionAst' { return Get-Ps51TypeNameType $Context $Ast.Type.TypeName }
        'StringConstantExpressionAst' { return 'System.String' }
        'ExpandableStringExpressionAst' { return 'System.String' }
        'VariableExpressionAst' { return Get-Ps51VariableType $Context $Ast.VariablePath.UserPath $Scope $Depth }
        'ParenExpressionAst' { return Get-Ps51StatementType $Context $Ast.Pipeline $Scope $Depth }
        { $_ -eq 'MemberExpressionAst' -or $_ -eq 'InvokeMemberExpressionAst' } {
            $type = $null
            if ($Ast.Static -and $Ast.Expression -is [System.Management.Automation.Language.TypeExpressionAst]) { $type = Get-Ps51TypeNameType $Context $Ast.Expression.TypeName }
            elseif (-not $Ast.Static) { $type = Get-Ps51ExpressionType $Context $Ast.Expression $Scope ($Depth + 1) }
            if ($type -and -not (Test-Ps51Adapted $Context $type)) { return Get-Ps51MemberType $Context $type $Ast }
        }
    }
    return $null
}
