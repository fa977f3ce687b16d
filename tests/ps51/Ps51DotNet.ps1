# Type literals, static members, constructors and, where the type follows from the code,
# instance members against .NET Framework 4.8 and System.Management.Automation 5.1.

# The assemblies a Windows PowerShell 5.1 session has loaded before a script runs; others come
# only through Add-Type -AssemblyName.
$Ps51LoadedAssemblies = @('mscorlib', 'System', 'System.Core', 'System.Xml', 'System.Management', 'System.DirectoryServices',
    'System.Numerics', 'System.Configuration', 'System.Data', 'System.Transactions')

# Members PowerShell adds to every object, and those its type data adds to types the check
# infers.
$Ps51IntrinsicMembers = @('Count', 'Length', 'ForEach', 'Where', 'PSObject', 'PSTypeNames', 'PSBase', 'PSAdapted', 'PSExtended')
$Ps51TypeDataMembers = @{
    'System.IO.FileSystemInfo'                      = @('BaseName', 'Mode', 'Target', 'LinkType', 'VersionInfo')
    'System.DateTime'                               = @('DateTime')
    'System.Diagnostics.Process'                    = @('Name', 'SI', 'Handles', 'VM', 'WS', 'PM', 'NPM', 'Path', 'Company', 'CPU',
        'FileVersion', 'ProductVersion', 'Description', 'Product', '__NounName')
    'System.Security.AccessControl.ObjectSecurity'  = @('Path', 'Owner', 'Group', 'Access', 'Sddl', 'AccessToString', 'AuditToString',
        'Audit', 'CentralAccessPolicyId', 'CentralAccessPolicyName')
}
# Types whose members PowerShell adapts (keys, XML nodes, rows, WMI) or takes from their items
# (collections): any name may be a member. An [object] may hold anything.
$Ps51AdaptedTypes = @('System.Management.Automation.PSObject', 'System.Xml.XmlNode', 'System.Data.DataRow',
    'System.Management.ManagementBaseObject', 'System.Collections.IDictionary', 'System.__ComObject', 'System.Collections.IEnumerable')

function New-Ps51DotNetContext($Index, $Accelerators, $OwnTypes) {
    [pscustomobject]@{
        Index = $Index; Accelerators = $Accelerators; OwnTypes = $OwnTypes; Namespaces = @('System')
        Unresolved = [System.Collections.Generic.List[object]]::new(); VariableTypes = @{}; ScopeWrites = @{}; Adapted = @{}; Members = @{}
    }
}

# The index's full name for a type name as a script writes it, or $null.
function Resolve-Ps51TypeName($Context, [string] $Name) {
    $Name = $Name.TrimStart('.')
    if ($Context.Accelerators.ContainsKey($Name)) { return $Context.Accelerators[$Name] }
    if ($Context.Index.ContainsKey($Name)) { return $Context.Index[$Name].Name }
    foreach ($namespace in $Context.Namespaces) {
        if ($Context.Index.ContainsKey("$namespace.$Name")) { return $Context.Index["$namespace.$Name"].Name }
    }
    return $null
}

# A type name written as text (New-Object's), parsed as PowerShell parses a type literal.
function ConvertTo-Ps51TypeName([string] $Text) {
    $tokens = $null
    $errors = $null
    $ast = [System.Management.Automation.Language.Parser]::ParseInput("[$Text]", [ref]$tokens, [ref]$errors)
    $literal = $ast.Find({ $args[0] -is [System.Management.Automation.Language.TypeExpressionAst] }, $true)
    if ($errors.Count -or -not $literal) { return $null }
    return $literal.TypeName
}

# The metadata name of an ITypeName ($null for arrays and types the scripts define); a name
# that does not resolve is a finding at Extent (the type name's own by default).
function Resolve-Ps51Type($Context, $TypeName, [switch] $Attribute, $Extent = $TypeName.Extent) {
    if ($TypeName -is [System.Management.Automation.Language.ArrayTypeName]) { return Resolve-Ps51Type $Context $TypeName.ElementType -Extent $Extent }
    $name = $TypeName.FullName
    if ($TypeName -is [System.Management.Automation.Language.GenericTypeName]) {
        foreach ($argument in $TypeName.GenericArguments) { [void](Resolve-Ps51Type $Context $argument -Extent $Extent) }
        $name = $TypeName.TypeName.FullName + '`' + $TypeName.GenericArguments.Count
    }
    if ($Context.OwnTypes.Contains($name) -or $name -eq 'ordered') { return $null }
    $resolved = Resolve-Ps51TypeName $Context $name
    if (-not $resolved -and $Attribute) { $resolved = Resolve-Ps51TypeName $Context "${name}Attribute" }
    if (-not $resolved) {
        $Context.Unresolved.Add((New-Ps51Finding $Extent 'type' "[$($TypeName.FullName)] is not a type of .NET Framework 4.8 that Windows PowerShell 5.1 has loaded"))
    }
    return $resolved
}

# The type's members of that name, its base types' included, found once per type and name.
function Get-Ps51Member($Context, [string] $Type, [string] $Name, [bool] $Static) {
    $key = "$Type|$Name|$Static"
    if (-not $Context.Members.ContainsKey($key)) {
        $Context.Members[$key] = @(foreach ($entry in Get-Ps51TypeChain $Context.Index $Type) {
                Get-Ps51OwnMember $entry | Where-Object { $_.Name -eq $Name -and $_.Static -eq $Static -and $_.Kind -ne 'Constructor' }
            })
    }
    return $Context.Members[$key]
}

function Test-Ps51Arguments($Members, [int] $Count) {
    @($Members | Where-Object { $_.Kind -ne 'Method' -and $_.Kind -ne 'Constructor' -or ($_.Least -le $Count -and $Count -le $_.Most) }).Count -gt 0
}

# The number of arguments an -ArgumentList value or a method's argument stands for, or -1
# when it is not written out.
function Get-Ps51ArgumentCount($Ast) {
    if ($null -eq $Ast) { return 0 }
    if ($Ast -is [System.Management.Automation.Language.ParenExpressionAst] -or $Ast -is [System.Management.Automation.Language.ArrayExpressionAst]) {
        $statements = @(if ($Ast -is [System.Management.Automation.Language.ParenExpressionAst]) { $Ast.Pipeline } else { $Ast.SubExpression.Statements })
        if ($statements.Count -ne 1 -or $statements[0] -isnot [System.Management.Automation.Language.PipelineAst]) { return -1 }
        $expression = $statements[0].GetPureExpression()
        if ($null -eq $expression) { return -1 }
        return Get-Ps51ArgumentCount $expression
    }
    if ($Ast -is [System.Management.Automation.Language.ArrayLiteralAst]) { return $Ast.Elements.Count }
    if ($Ast -is [System.Management.Automation.Language.ConstantExpressionAst] -or $Ast -is [System.Management.Automation.Language.ExpandableStringExpressionAst]) { return 1 }
    return -1
}

function Get-Ps51InvokeCount($Node) {
    if ($Node -isnot [System.Management.Automation.Language.InvokeMemberExpressionAst] -or $null -eq $Node.Arguments) { return 0 }
    return $Node.Arguments.Count
}

function Test-Ps51ValueType($Context, [string] $Type) {
    @(Get-Ps51BaseName $Context.Index $Type) -contains 'System.ValueType'
}

function Find-Ps51Constructor($Context, $Extent, [string] $Type, [int] $Count) {
    if ($Count -lt 0 -or -not $Context.Index.ContainsKey($Type)) { return }
    $constructors = @(Get-Ps51OwnMember $Context.Index[$Type] | Where-Object { $_.Kind -eq 'Constructor' -and -not $_.Static })
    if ($Count -eq 0 -and (Test-Ps51ValueType $Context $Type)) { return }
    if (-not (Test-Ps51Arguments $constructors $Count)) {
        New-Ps51Finding $Extent 'constructor' "$Type has no constructor that takes $Count argument(s) in .NET Framework 4.8"
    }
}

function Find-Ps51StaticMember($Context, $Node) {
    $type = Resolve-Ps51Type $Context $Node.Expression.TypeName
    if (-not $type -or $Node.Member -isnot [System.Management.Automation.Language.StringConstantExpressionAst]) { return }
    $name = $Node.Member.Value
    $invoked = $Node -is [System.Management.Automation.Language.InvokeMemberExpressionAst]
    $count = Get-Ps51InvokeCount $Node
    if ($name -eq 'new' -and $invoked) { return Find-Ps51Constructor $Context $Node.Extent $type $count }
    $members = @(Get-Ps51Member $Context $type $name $true)
    if (-not $members.Count) {
        New-Ps51Finding $Node.Extent 'member' "$type has no static member $name in .NET Framework 4.8"
    }
    elseif ($invoked -and -not (Test-Ps51Arguments $members $count)) {
        New-Ps51Finding $Node.Extent 'member' "$type.$name takes no $count argument(s) in .NET Framework 4.8"
    }
}

# Found once per type.
function Test-Ps51Adapted($Context, [string] $Type) {
    if (-not $Context.Adapted.ContainsKey($Type)) { $Context.Adapted[$Type] = Find-Ps51Adapted $Context $Type }
    return $Context.Adapted[$Type]
}

function Find-Ps51Adapted($Context, [string] $Type) {
    if (-not $Context.Index.ContainsKey($Type) -or $Type -eq 'System.Object') { return $true }
    if ($Type -eq 'System.String') { return $false }
    $entry = $Context.Index[$Type]
    if (Test-Ps51Interface $entry) { return $true }
    $names = @($Type) + @(Get-Ps51BaseName $Context.Index $Type) + @(Get-Ps51InterfaceName $Context.Index $Type)
    return @($names | Where-Object { $Ps51AdaptedTypes -contains $_ }).Count -gt 0
}

function Find-Ps51InstanceMember($Context, $Node) {
    if ($Node.Member -isnot [System.Management.Automation.Language.StringConstantExpressionAst]) { return }
    $target = $Node.Expression
    if ($target -is [System.Management.Automation.Language.VariableExpressionAst] -and $Ps51UntypedVariables -contains $target.VariablePath.UserPath) { return }
    $Scope = Get-Ps51Scope $Node
    $type = Get-Ps51ExpressionType $Context $Node.Expression $Scope 0
    if (-not $type -or (Test-Ps51Adapted $Context $type)) { return }
    $name = $Node.Member.Value
    if ($Ps51IntrinsicMembers -contains $name) { return }
    $chain = @($type) + @(Get-Ps51BaseName $Context.Index $type)
    if (@($chain | Where-Object { $Ps51TypeDataMembers.ContainsKey($_) -and $Ps51TypeDataMembers[$_] -contains $name }).Count) { return }
    $members = @(Get-Ps51Member $Context $type $name $false)
    $invoked = $Node -is [System.Management.Automation.Language.InvokeMemberExpressionAst]
    if (-not $members.Count) {
        New-Ps51Finding $Node.Extent 'member' "$type has no member $name in .NET Framework 4.8"
    }
    elseif ($invoked -and -not (Test-Ps51Arguments $members (Get-Ps51InvokeCount $Node))) {
        New-Ps51Finding $Node.Extent 'member' "$type.$name takes no $(Get-Ps51InvokeCount $Node) argument(s) in .NET Framework 4.8"
    }
}

function Get-Ps51NewObjectArgument($Command) {
    $bound = Get-Ps51CommandArgument $Command @('TypeName', 'ArgumentList', 'Args', 'ComObject', 'Property', 'Strict') @('TypeName', 'ArgumentList')
    if ($bound.ContainsKey('Args')) { $bound['ArgumentList'] = $bound['Args'] }
    return $bound
}

function Find-Ps51NewObject($Context, $Node) {
    if ($Node.GetCommandName() -ne 'New-Object') { return }
    $bound = Get-Ps51NewObjectArgument $Node
    if ($bound.ContainsKey('ComObject')) { return }
    $typeName = Get-Ps51ConstantText $bound['TypeName']
    if (-not $typeName -or $Context.OwnTypes.Contains($typeName)) { return }
    $parsed = ConvertTo-Ps51TypeName $typeName
    if (-not $parsed) { return }
    $type = Resolve-Ps51Type $Context $parsed -Extent $Node.Extent
    # An array's only constructor takes its length.
    if (-not $type -or $parsed -is [System.Management.Automation.Language.ArrayTypeName]) { return }
    $count = 0
    if ($bound.ContainsKey('ArgumentList')) { $count = Get-Ps51ArgumentCount $bound['ArgumentList'] }
    Find-Ps51Constructor $Context $Node.Extent $type $count
}

$Ps51DotNetNodes = [System.Collections.Generic.HashSet[string]]@('TypeConstraintAst', 'TypeExpressionAst', 'AttributeAst', 'CommandAst',
    'MemberExpressionAst', 'InvokeMemberExpressionAst')

function Find-Ps51DotNet($Context, $Ast) {
    foreach ($node in $Ast.FindAll({ $Ps51DotNetNodes.Contains($args[0].GetType().Name) }, $true)) {
        switch ($node.GetType().Name) {
            'TypeConstraintAst' { [void](Resolve-Ps51Type $Context $node.TypeName) }
            'TypeExpressionAst' { [void](Resolve-Ps51Type $Context $node.TypeName) }
            'AttributeAst' { [void](Resolve-Ps51Type $Context $node.TypeName -Attribute) }
            'CommandAst' { Find-Ps51NewObject $Context $node }
            { $_ -eq 'MemberExpressionAst' -or $_ -eq 'InvokeMemberExpressionAst' } {
                if ($node.Static -and $node.Expression -is [System.Management.Automation.Language.TypeExpressionAst]) { Find-Ps51StaticMember $Context $node }
                elseif (-not $node.Static) { Find-Ps51InstanceMember $Context $node }
            }
        }
    }
}
