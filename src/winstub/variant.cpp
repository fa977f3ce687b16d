// VARIANTs own what they hold: a BSTR, a reference on an interface, or a SAFEARRAY.
#include <windows.h>

namespace {

constexpr VARTYPE kPlainTypes[] = {VT_EMPTY, VT_NULL, VT_I2,  VT_I4,  VT_BOOL, VT_I1,
                                   VT_UI1,   VT_UI2,  VT_UI4, VT_INT, VT_UINT};

bool IsPlain(VARTYPE vt) {
    for (VARTYPE plain : kPlainTypes) {
        if (plain == vt) return true;
    }
    return false;
}

bool IsArray(VARTYPE vt) { return (vt & VT_ARRAY) != 0; }

bool IsKnown(VARTYPE vt) { return IsPlain(vt) || vt == VT_BSTR || vt == VT_UNKNOWN || IsArray(vt); }

}  // namespace

void VariantInit(VARIANTARG* pvarg) {
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    if (pvarg == nullptr) return E_INVALIDARG;
    if (!IsKnown(pvarg->vt)) return DISP_E_BADVARTYPE;
    if (IsArray(pvarg->vt)) {
        // A locked array stays where it is, and so does the VARIANT that holds it.
        HRESULT hr = SafeArrayDestroy(pvarg->parray);
        if (FAILED(hr)) return hr;
    } else if (pvarg->vt == VT_BSTR) {
        SysFreeString(pvarg->bstrVal);
    } else if (pvarg->vt == VT_UNKNOWN && pvarg->punkVal != nullptr) {
        pvarg->punkVal->Release();
    }
    pvarg->vt = VT_EMPTY;
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    if (pvargDest == nullptr || pvargSrc == nullptr) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return S_OK;
    if (!IsKnown(pvargSrc->vt)) return DISP_E_BADVARTYPE;
    HRESULT hr = VariantClear(pvargDest);
    if (FAILED(hr)) return hr;
    VARIANT copy = *pvargSrc;
    if (IsArray(copy.vt)) {
        hr = SafeArrayCopy(pvargSrc->parray, &copy.parray);
        if (FAILED(hr)) return hr;
    } else if (copy.vt == VT_BSTR && copy.bstrVal != nullptr) {
        copy.bstrVal = SysAllocStringLen(pvargSrc->bstrVal, SysStringLen(pvargSrc->bstrVal));
        if (copy.bstrVal == nullptr) return E_OUTOFMEMORY;
    } else if (copy.vt == VT_UNKNOWN && copy.punkVal != nullptr) {
        copy.punkVal->AddRef();
    }
    *pvargDest = copy;
    return S_OK;
}
