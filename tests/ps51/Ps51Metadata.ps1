# The public types and members of reference assemblies, read with System.Reflection.Metadata
# (no assembly is loaded, so .NET Framework assemblies read the same under PowerShell 7).
# Names compare without case, as PowerShell compares them.

$Ps51Primitive = @{
    Boolean = 'System.Boolean'; Char = 'System.Char'; SByte = 'System.SByte'; Byte = 'System.Byte'
    Int16 = 'System.Int16'; UInt16 = 'System.UInt16'; Int32 = 'System.Int32'; UInt32 = 'System.UInt32'
    Int64 = 'System.Int64'; UInt64 = 'System.UInt64'; Single = 'System.Single'; Double = 'System.Double'
    String = 'System.String'; Object = 'System.Object'; IntPtr = 'System.IntPtr'; UIntPtr = 'System.UIntPtr'
}

# Every public type of the assemblies: full name (nested types as Outer+Inner) to its reader
# and definition.
function New-Ps51TypeIndex([string[]] $AssemblyPath) {
    $index = [System.Collections.Generic.Dictionary[string, object]]::new([System.StringComparer]::OrdinalIgnoreCase)
    foreach ($path in $AssemblyPath) {
        $stream = [System.IO.MemoryStream]::new([System.IO.File]::ReadAllBytes($path))
        $pe = [System.Reflection.PortableExecutable.PEReader]::new($stream)
        $reader = [System.Reflection.Metadata.PEReaderExtensions]::GetMetadataReader($pe)
        foreach ($handle in $reader.TypeDefinitions) {
            $definition = $reader.GetTypeDefinition($handle)
            $visibility = [int]$definition.Attributes -band 7
            if ($visibility -ne 1 -and $visibility -ne 2) { continue }
            $name = Get-Ps51DefinitionName $reader $definition
            if ($name -and -not $index.ContainsKey($name)) {
                $index[$name] = [pscustomobject]@{ Name = $name; Reader = $reader; Definition = $definition; Members = $null }
            }
        }
    }
    return , $index
}

function Get-Ps51DefinitionName($Reader, $Definition) {
    $name = $Reader.GetString($Definition.Name)
    $declaring = $Definition.GetDeclaringType()
    if (-not $declaring.IsNil) {
        $outer = $Reader.GetTypeDefinition($declaring)
        if (([int]$outer.Attributes -band 7) -notin 1, 2) { return $null }
        return (Get-Ps51DefinitionName $Reader $outer) + '+' + $name
    }
    $namespace = $Reader.GetString($Definition.Namespace)
    if ($namespace) { return "$namespace.$name" }
    return $name
}

# The full name of a TypeDefinition or TypeReference handle; $null for anything else
# (a generic instance, an array).
function Get-Ps51HandleName($Reader, [System.Reflection.Metadata.EntityHandle] $Handle) {
    if ($Handle.IsNil) { return $null }
    switch ($Handle.Kind) {
        'TypeDefinition' {
            return Get-Ps51DefinitionName $Reader $Reader.GetTypeDefinition([System.Reflection.Metadata.TypeDefinitionHandle]$Handle)
        }
        'TypeReference' {
            $reference = $Reader.GetTypeReference([System.Reflection.Metadata.TypeReferenceHandle]$Handle)
            $name = $Reader.GetString($reference.Name)
            if ($reference.ResolutionScope.Kind -eq 'TypeReference') {
                return (Get-Ps51HandleName $Reader $reference.ResolutionScope) + '+' + $name
            }
            $namespace = $Reader.GetString($reference.Namespace)
            if ($namespace) { return "$namespace.$name" }
            return $name
        }
    }
    return $null
}

# The type a signature blob reader stands at, as a full name, or $null when it is not a plain
# named type.
function Read-Ps51SignatureType($Reader, $BlobReader) {
    $code = $BlobReader.ReadSignatureTypeCode()
    if ($code -eq 'TypeHandle') { return Get-Ps51HandleName $Reader $BlobReader.ReadTypeHandle() }
    if ($Ps51Primitive.ContainsKey([string]$code)) { return $Ps51Primitive[[string]$code] }
    return $null
}

function Get-Ps51AttributeName($Reader, $Handle) {
    $constructor = $Reader.GetCustomAttribute($Handle).Constructor
    switch ($constructor.Kind) {
        'MemberReference' { return Get-Ps51HandleName $Reader $Reader.GetMemberReference([System.Reflection.Metadata.MemberReferenceHandle]$constructor).Parent }
        'MethodDefinition' { return Get-Ps51HandleName $Reader $Reader.GetMethodDefinition([System.Reflection.Metadata.MethodDefinitionHandle]$constructor).GetDeclaringType() }
    }
    return $null
}

# The least and most arguments a method takes: optional parameters may be left out, a params
# array takes any number.
function Get-Ps51ArgumentRange($Reader, $Method, [int] $Count) {
    $least = $Count
    $most = $Count
    foreach ($handle in $Method.GetParameters()) {
        $parameter = $Reader.GetParameter($handle)
        if ($parameter.SequenceNumber -eq 0) { continue }
        if ([int]$parameter.Attributes -band 0x1010) { $least-- }
        foreach ($attribute in $parameter.GetCustomAttributes()) {
            if ((Get-Ps51AttributeName $Reader $attribute) -eq 'System.ParamArrayAttribute') { $least--; $most = [int]::MaxValue }
        }
    }
    return [Math]::Max(0, $least), $most
}

function Get-Ps51MethodMember($Reader, $Handle) {
    $method = $Reader.GetMethodDefinition($Handle)
    $attributes = [int]$method.Attributes
    if (($attributes -band 7) -ne 6) { return }
    $blob = $Reader.GetBlobReader($method.Signature)
    $header = $blob.ReadSignatureHeader()
    if ($header.IsGeneric) { [void]$blob.ReadCompressedInteger() }
    $count = $blob.ReadCompressedInteger()
    $returns = Read-Ps51SignatureType $Reader $blob
    $least, $most = Get-Ps51ArgumentRange $Reader $method $count
    $name = $Reader.GetString($method.Name)
    $kind = 'Method'
    if ($name -eq '.ctor') { $kind = 'Constructor' }
    [pscustomobject]@{ Name = $name; Kind = $kind; Static = [bool]($attributes -band 0x10); Least = $least; Most = $most; Type = $returns }
}

function Get-Ps51PropertyMember($Reader, $Handle) {
    $property = $Reader.GetPropertyDefinition($Handle)
    $accessors = $property.GetAccessors()
    $accessor = $accessors.Getter
    if ($accessor.IsNil) { $accessor = $accessors.Setter }
    $method = $Reader.GetMethodDefinition($accessor)
    if (([int]$method.Attributes -band 7) -ne 6) { return }
    $blob = $Reader.GetBlobReader($property.Signature)
    [void]$blob.ReadSignatureHeader()
    $count = $blob.ReadCompressedInteger()
    [pscustomobject]@{
        Name = $Reader.GetString($property.Name); Kind = 'Property'; Static = [bool]([int]$method.Attributes -band 0x10)
        Least = $count; Most = $count; Type = Read-Ps51SignatureType $Reader $blob
    }
}

function Get-Ps51FieldMember($Reader, $Handle) {
    $field = $Reader.GetFieldDefinition($Handle)
    $attributes = [int]$field.Attributes
    if (($attributes -band 7) -ne 6) { return }
    $blob = $Reader.GetBlobReader($field.Signature)
    [void]$blob.ReadSignatureHeader()
    [pscustomobject]@{
        Name = $Reader.GetString($field.Name); Kind = 'Field'; Static = [bool]($attributes -band 0x10)
        Least = 0; Most = 0; Type = Read-Ps51SignatureType $Reader $blob
    }
}

# The type's own public members, read once.
function Get-Ps51OwnMember($Entry) {
    if ($null -eq $Entry.Members) {
        $reader = $Entry.Reader
        $definition = $Entry.Definition
        $members = @(
            foreach ($handle in $definition.GetMethods()) { Get-Ps51MethodMember $reader $handle }
            foreach ($handle in $definition.GetProperties()) { Get-Ps51PropertyMember $reader $handle }
            foreach ($handle in $definition.GetFields()) { Get-Ps51FieldMember $reader $handle }
            foreach ($handle in $definition.GetEvents()) {
                [pscustomobject]@{ Name = $reader.GetString($reader.GetEventDefinition($handle).Name); Kind = 'Event'; Static = $false; Least = 0; Most = 0; Type = $null }
            }
        )
        $Entry.Members = $members
    }
    return $Entry.Members
}

# The type and its base types, nearest first, as far as the index holds them.
function Get-Ps51TypeChain($Index, [string] $Name) {
    $seen = 0
    while ($Name -and $Index.ContainsKey($Name) -and $seen -lt 32) {
        $entry = $Index[$Name]
        $entry
        $Name = Get-Ps51HandleName $entry.Reader $entry.Definition.BaseType
        $seen++
    }
}

function Get-Ps51BaseName($Index, [string] $Name) {
    @(Get-Ps51TypeChain $Index $Name | Select-Object -Skip 1 | ForEach-Object Name)
}

function Test-Ps51Interface($Entry) {
    return [bool]([int]$Entry.Definition.Attributes -band 0x20)
}

# The names of the interfaces a type declares, its base types' included.
function Get-Ps51InterfaceName($Index, [string] $Name) {
    foreach ($entry in Get-Ps51TypeChain $Index $Name) {
        foreach ($handle in $entry.Definition.GetInterfaceImplementations()) {
            Get-Ps51HandleName $entry.Reader $entry.Reader.GetInterfaceImplementation($handle).Interface
        }
    }
}
