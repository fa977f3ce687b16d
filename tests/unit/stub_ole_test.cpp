// BSTR, VARIANT and SAFEARRAY semantics that the tool's resource owners rely on.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

// An IUnknown that counts its references, to see who keeps and who drops one.
class CountedUnknown final : public IUnknown {
  public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }
    ULONG references = 1;
};

TEST(StubOle, BstrCarriesByteLengthPrefixAndNullStaysNull) {
    const OLECHAR text[] = {L'a', 0, L'b'};
    BSTR copy = SysAllocStringLen(text, 3);
    ASSERT_NE(copy, nullptr);
    uint32_t prefix = 0;
    std::memcpy(&prefix, reinterpret_cast<const char*>(copy) - sizeof(prefix), sizeof(prefix));
    EXPECT_EQ(prefix, 3 * sizeof(OLECHAR));
    EXPECT_EQ(SysStringLen(copy), 3u);
    EXPECT_EQ(copy[2], L'b');
    EXPECT_EQ(copy[3], 0);
    SysFreeString(copy);

    BSTR blank = SysAllocStringLen(nullptr, 2);
    ASSERT_NE(blank, nullptr);
    EXPECT_EQ(blank[0], 0);
    EXPECT_EQ(blank[2], 0);
    SysFreeString(blank);

    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

TEST(StubOle, VariantCopyTakesItsOwnReferenceAndArray) {
    CountedUnknown object;
    VARIANT holder, copy;
    VariantInit(&holder);
    VariantInit(&copy);
    holder.vt = VT_UNKNOWN;
    holder.punkVal = &object;
    ASSERT_EQ(VariantCopy(&copy, &holder), S_OK);
    EXPECT_EQ(object.references, 2u);
    EXPECT_EQ(VariantClear(&copy), S_OK);
    EXPECT_EQ(copy.vt, VT_EMPTY);
    EXPECT_EQ(VariantClear(&copy), S_OK);
    EXPECT_EQ(object.references, 1u);

    holder.vt = VT_ARRAY | VT_UI1;
    holder.parray = SafeArrayCreateVector(VT_UI1, 0, 2);
    static_cast<BYTE*>(holder.parray->pvData)[0] = 7;
    ASSERT_EQ(VariantCopy(&copy, &holder), S_OK);
    static_cast<BYTE*>(holder.parray->pvData)[0] = 9;
    EXPECT_EQ(static_cast<BYTE*>(copy.parray->pvData)[0], 7);
    VariantClear(&holder);
    VariantClear(&copy);
}

TEST(StubOle, LockedArrayCannotBeDestroyedNorClearedFromItsVariant) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, 4);
    ASSERT_NE(array, nullptr);
    EXPECT_EQ(array->cbElements, 1u);
    void* data = nullptr;
    ASSERT_EQ(SafeArrayAccessData(array, &data), S_OK);
    EXPECT_EQ(SafeArrayDestroy(array), DISP_E_ARRAYISLOCKED);
    VARIANT holder;
    VariantInit(&holder);
    holder.vt = VT_ARRAY | VT_UI1;
    holder.parray = array;
    EXPECT_EQ(VariantClear(&holder), DISP_E_ARRAYISLOCKED);
    EXPECT_EQ(holder.parray, array);
    EXPECT_EQ(SafeArrayUnaccessData(array), S_OK);
    EXPECT_EQ(SafeArrayUnaccessData(array), E_UNEXPECTED);
    EXPECT_EQ(VariantClear(&holder), S_OK);
}

TEST(StubOle, ElementsStayWithinTheBounds) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 5, 3);
    LONG upper = 0, value = 42, read = 0;
    EXPECT_EQ(SafeArrayGetUBound(array, 1, &upper), S_OK);
    EXPECT_EQ(upper, 7);
    for (LONG outside : {4, 8}) {
        EXPECT_EQ(SafeArrayPutElement(array, &outside, &value), DISP_E_BADINDEX);
        EXPECT_EQ(SafeArrayGetElement(array, &outside, &read), DISP_E_BADINDEX);
    }
    EXPECT_EQ(SafeArrayPutElement(array, &upper, &value), S_OK);
    EXPECT_EQ(SafeArrayGetElement(array, &upper, &read), S_OK);
    EXPECT_EQ(read, 42);
    EXPECT_EQ(SafeArrayDestroy(array), S_OK);
}

TEST(StubOle, ArraysOfInterfacesAndTextsOwnTheirElements) {
    CountedUnknown object;
    SAFEARRAY* objects = SafeArrayCreateVector(VT_UNKNOWN, 0, 1);
    LONG index = 0;
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IUnknown*>(&object)), S_OK);
    EXPECT_EQ(object.references, 2u);
    ASSERT_EQ(SafeArrayPutElement(objects, &index, static_cast<IUnknown*>(&object)), S_OK);
    EXPECT_EQ(object.references, 2u);
    EXPECT_EQ(SafeArrayDestroy(objects), S_OK);
    EXPECT_EQ(object.references, 1u);

    SAFEARRAY* texts = SafeArrayCreateVector(VT_BSTR, 0, 1);
    BSTR original = SysAllocString(L"abc");
    ASSERT_EQ(SafeArrayPutElement(texts, &index, original), S_OK);
    SysFreeString(original);
    BSTR read = nullptr;
    ASSERT_EQ(SafeArrayGetElement(texts, &index, &read), S_OK);
    EXPECT_EQ(SysStringLen(read), 3u);
    SysFreeString(read);
    EXPECT_EQ(SafeArrayDestroy(texts), S_OK);
}

}  // namespace
