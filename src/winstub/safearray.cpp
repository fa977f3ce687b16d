// One-dimensional SAFEARRAYs. Each descriptor is the first member of a block that also
// records the element type and owns the element storage; arrays of BSTRs and interface
// pointers own their elements as well, the way OLE automation's arrays do.
#include <windows.h>

#include <cstddef>
#include <cstring>
#include <memory>
#include <type_traits>
#include <vector>

namespace {

constexpr USHORT FADF_HAVEVARTYPE = 0x0080;
constexpr USHORT FADF_BSTR = 0x0100;
constexpr USHORT FADF_UNKNOWN = 0x0200;

struct ElementType {
    VARTYPE vt;
    ULONG size;
    USHORT features;
};

constexpr ElementType kElementTypes[] = {
    {VT_I1, 1, 0},
    {VT_UI1, 1, 0},
    {VT_I2, 2, 0},
    {VT_UI2, 2, 0},
    {VT_BOOL, sizeof(VARIANT_BOOL), 0},
    {VT_I4, 4, 0},
    {VT_UI4, 4, 0},
    {VT_INT, sizeof(int), 0},
    {VT_UINT, sizeof(unsigned int), 0},
    {VT_BSTR, sizeof(BSTR), FADF_BSTR},
    {VT_UNKNOWN, sizeof(IUnknown*), FADF_UNKNOWN},
};

constexpr size_t kMaxElementSize = 8;
static_assert(sizeof(void*) <= kMaxElementSize, "an element slot holds a pointer");

const ElementType* FindElementType(VARTYPE vt) {
    for (const ElementType& type : kElementTypes) {
        if (type.vt == vt) return &type;
    }
    return nullptr;
}

struct ArrayBlock {
    SAFEARRAY descriptor;  // first, so a SAFEARRAY* is the address of its block
    VARTYPE vt;
    std::vector<unsigned char> storage;
};
static_assert(std::is_standard_layout_v<ArrayBlock>,
              "a SAFEARRAY* must convert back to its ArrayBlock");

ArrayBlock* BlockOf(SAFEARRAY* psa) { return reinterpret_cast<ArrayBlock*>(psa); }

// Where element `index` lies, or null when it is outside the bounds.
void* ElementAt(SAFEARRAY* psa, LONG index) {
    const SAFEARRAYBOUND& bound = psa->rgsabound[0];
    long long offset = static_cast<long long>(index) - bound.lLbound;
    if (offset < 0 || offset >= static_cast<long long>(bound.cElements)) return nullptr;
    return static_cast<unsigned char*>(psa->pvData) + offset * psa->cbElements;
}

// Copies one element into `slot`, duplicating what the array owns.
HRESULT CopyElementInto(USHORT features, void* slot, const void* source, ULONG size) {
    if ((features & FADF_BSTR) != 0) {
        BSTR text = *static_cast<const BSTR*>(source);
        BSTR copy = text == nullptr ? nullptr : SysAllocStringLen(text, SysStringLen(text));
        if (text != nullptr && copy == nullptr) return E_OUTOFMEMORY;
        *static_cast<BSTR*>(slot) = copy;
        return S_OK;
    }
    if ((features & FADF_UNKNOWN) != 0) {
        IUnknown* object = *static_cast<IUnknown* const*>(source);
        if (object != nullptr) object->AddRef();
        *static_cast<IUnknown**>(slot) = object;
        return S_OK;
    }
    std::memcpy(slot, source, size);
    return S_OK;
}

void ReleaseElement(USHORT features, void* slot) {
    if ((features & FADF_BSTR) != 0) SysFreeString(*static_cast<BSTR*>(slot));
    if ((features & FADF_UNKNOWN) != 0) {
        IUnknown* object = *static_cast<IUnknown**>(slot);
        if (object != nullptr) object->Release();
    }
}

void ReleaseElements(SAFEARRAY* psa) {
    if ((psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN)) == 0) return;
    for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) {
        ReleaseElement(psa->fFeatures, static_cast<unsigned char*>(psa->pvData) +
                                           static_cast<size_t>(i) * psa->cbElements);
    }
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    const ElementType* type = FindElementType(vt);
    if (type == nullptr || cDims != 1 || rgsabound == nullptr) return nullptr;
    auto block = std::make_unique<ArrayBlock>();
    block->vt = vt;
    block->storage.assign(static_cast<size_t>(rgsabound[0].cElements) * type->size, 0);
    SAFEARRAY& descriptor = block->descriptor;
    descriptor.cDims = 1;
    descriptor.fFeatures = static_cast<USHORT>(FADF_HAVEVARTYPE | type->features);
    descriptor.cbElements = type->size;
    descriptor.cLocks = 0;
    descriptor.pvData = block->storage.data();
    descriptor.rgsabound[0] = rgsabound[0];
    return &block.release()->descriptor;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (psa == nullptr) return S_OK;
    if (psa->cLocks != 0) return DISP_E_ARRAYISLOCKED;
    ReleaseElements(psa);
    std::unique_ptr<ArrayBlock> owner(BlockOf(psa));
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa == nullptr ? 0 : psa->cDims; }

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (psa == nullptr || plLbound == nullptr) return E_INVALIDARG;
    if (nDim != 1) return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (psa == nullptr || plUbound == nullptr) return E_INVALIDARG;
    if (nDim != 1) return DISP_E_BADINDEX;
    const SAFEARRAYBOUND& bound = psa->rgsabound[0];
    *plUbound = static_cast<LONG>(bound.lLbound + static_cast<long long>(bound.cElements) - 1);
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (psa == nullptr || ppvData == nullptr) return E_INVALIDARG;
    ++psa->cLocks;
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) {
    if (psa == nullptr) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (psa == nullptr || rgIndices == nullptr || pv == nullptr) return E_INVALIDARG;
    void* slot = ElementAt(psa, rgIndices[0]);
    if (slot == nullptr) return DISP_E_BADINDEX;
    // BSTRs and interface pointers are passed as themselves, plain values by address.
    const void* source = (psa->fFeatures & (FADF_BSTR | FADF_UNKNOWN)) != 0 ? &pv : pv;
    alignas(std::max_align_t) unsigned char fresh[kMaxElementSize];
    HRESULT hr = CopyElementInto(psa->fFeatures, fresh, source, psa->cbElements);
    if (FAILED(hr)) return hr;
    ReleaseElement(psa->fFeatures, slot);
    std::memcpy(slot, fresh, psa->cbElements);
    return S_OK;
}

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (psa == nullptr || rgIndices == nullptr || pv == nullptr) return E_INVALIDARG;
    void* slot = ElementAt(psa, rgIndices[0]);
    if (slot == nullptr) return DISP_E_BADINDEX;
    return CopyElementInto(psa->fFeatures, pv, slot, psa->cbElements);
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (psa == nullptr || pvt == nullptr) return E_INVALIDARG;
    *pvt = BlockOf(psa)->vt;
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (ppsaOut == nullptr) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (psa == nullptr) return S_OK;
    SAFEARRAY* copy = SafeArrayCreate(BlockOf(psa)->vt, 1, psa->rgsabound);
    if (copy == nullptr) return E_OUTOFMEMORY;
    for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) {
        size_t offset = static_cast<size_t>(i) * psa->cbElements;
        HRESULT hr = CopyElementInto(
            psa->fFeatures, static_cast<unsigned char*>(copy->pvData) + offset,
            static_cast<const unsigned char*>(psa->pvData) + offset, psa->cbElements);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}
