// WTolqCore against hand-written WMI fakes, for what no machine file can show: the VARIANT
// types put into in-parameters, integer and non-text out-parameters, the raw request's bytes,
// answers without the completion flag or too short to hold one, and references given back.
#include "bios/wtolq_core.h"

#include "bios_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace velorin::tool::testing {

namespace {

using bios_test::CaptureOutput;
using bios_test::FakeClassObject;
using bios_test::FakeServices;
using bios_test::Outputs;

constexpr uint16_t kHeader = 0x1234;
constexpr uint16_t kSubfunction = 0x0056;
const uint8_t (&kInput)[RAW_CALL_DATA_BYTES] = bios_test::kRawInput;

// A raw-call answer of `size` bytes with `flag` at byte 4.
std::vector<uint8_t> Answer(uint8_t flag, size_t size = 21) {
    std::vector<uint8_t> bytes(size, 0);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(0xC0 + i);
    if (size > 4) bytes[4] = flag;
    return bytes;
}

// A provider made of fakes. Members are ordered so that each object outlives every fake that
// holds a reference to it.
struct FakeProvider {
    FakeClassObject request;
    FakeClassObject answer;
    FakeClassObject dataBufferClass;
    FakeClassObject signature;
    FakeClassObject inParams;
    FakeClassObject outParams;
    FakeServices services;
    WTolqCore core;

    explicit FakeProvider(const std::vector<uint8_t>& answerBytes = Answer(0xAA)) {
        signature.spawned = &inParams;
        dataBufferClass.spawned = &request;
        services.dataBufferClass = &dataBufferClass;
        services.outParams = &outParams;
        outParams.SetInt(L"RetCode", VT_I4, 0);
        outParams.SetInt(L"ItemCode", VT_NULL, 0);
        outParams.SetInt(L"Data", VT_NULL, 0);
        answer.SetBytes(L"Bytes", answerBytes);
        outParams.SetObject(L"outData", &answer);
        bios_test::ConnectToFakes(core, services, signature);
    }
    const VARIANT& In(const wchar_t* name) { return inParams.properties[name].get(); }
};

TEST(BiosWTolqFakes, InParametersCarryTheDocumentedTypes) {
    FakeProvider p;
    Outputs o;
    ASSERT_EQ(p.core.Set(0xBEEF, L"7", o.number, o.a10, o.b10), 1);
    EXPECT_EQ(p.In(L"inItemCode").vt, VT_I4);
    EXPECT_EQ(p.In(L"inItemCode").lVal, 0xBEEF);  // zero-extended, not sign-extended
    EXPECT_EQ(p.inParams.putTypes[L"inItemCode"], CIM_UINT16);
    EXPECT_EQ(std::wstring(p.In(L"inSetData").bstrVal), L"7");
    EXPECT_EQ(p.inParams.putTypes[L"inSetData"], CIM_STRING);
    ASSERT_EQ(p.core.EnumSetting(0xFFFF, o.number, o.a10, o.t30), 1);
    EXPECT_EQ(p.In(L"inIndex").vt, VT_I4);
    EXPECT_EQ(p.In(L"inIndex").lVal, 65535);
    ASSERT_EQ(p.core.GetString(0x0100, L"12", o.number, o.t30, o.text), 1);
    EXPECT_EQ(p.In(L"inIndex").vt, VT_BSTR);
    EXPECT_EQ(p.inParams.putTypes[L"inIndex"], CIM_STRING);
    ASSERT_EQ(p.core.Save(o.number), 1);
    EXPECT_EQ(p.services.execMethods,
              (std::vector<std::wstring>{L"Set", L"EnumSetting", L"GetString", L"Save"}));
    // Every in- and out-parameter object was released again.
    EXPECT_EQ(p.inParams.refs() + p.outParams.refs(), 0u);
}

// Text out-parameters that hold no string (VT_NULL, a number) leave the caller's buffers.
TEST(BiosWTolqFakes, OutParametersOfEveryVariantType) {
    struct Row {
        VARTYPE vt;
        uint32_t stored;
        uint16_t expected;
    };
    const Row rows[] = {
        {VT_I4, 0x00012345, 0x2345}, {VT_UI4, 0xFFFF0007, 7}, {VT_INT, 14, 14},
        {VT_UINT, 0x1000C, 12},      {VT_I2, 0xFFFF, 0xFFFF}, {VT_UI2, 0x8001, 0x8001},
        {VT_UI1, 0xFE, 0xFE},        {VT_NULL, 0x1234, 0},    {VT_EMPTY, 0x1234, 0}};
    for (const Row& row : rows) {
        FakeProvider p;
        p.outParams.SetInt(L"RetCode", row.vt, row.stored);
        p.outParams.SetInt(L"Data", VT_I4, 0x41);
        Outputs o;
        ASSERT_EQ(p.core.EnumSetting(3, o.number, o.a10, o.t30), 1);
        EXPECT_EQ(o.number, row.expected) << row.vt;
        EXPECT_EQ(std::wstring(o.a10) + o.t30, L"oldold");
    }
}

TEST(BiosWTolqFakes, RequestIsTheHeaderSubfunctionAndInputInADataBuffer) {
    FakeProvider p(Answer(0xAA));
    uint8_t output[RAW_CALL_DATA_BYTES] = {};
    EXPECT_EQ(p.core.Call(kHeader, kSubfunction, kInput, nullptr), 1);
    ASSERT_EQ(p.core.Call(kHeader, kSubfunction, kInput, output), 1);
    const VARIANT& sent = p.request.properties[L"Bytes"].get();
    ASSERT_EQ(sent.vt, VT_ARRAY | VT_UI1);
    SafeArrayDataLock lock(sent.parray);
    const auto* bytes = static_cast<const uint8_t*>(lock.data());
    const std::vector<uint8_t> expected = {0x34, 0x12, 0x56, 0x00, 0x00, 1,  2,  3,  4,  5, 6,
                                           7,    8,    9,    10,   11,   12, 13, 14, 15, 16};
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 21), expected);
    EXPECT_EQ(sent.parray->rgsabound[0].cElements, 21u);
    const VARIANT& embedded = p.inParams.properties[L"inData"].get();
    ASSERT_EQ(embedded.vt, VT_UNKNOWN);
    EXPECT_EQ(embedded.punkVal, static_cast<IUnknown*>(&p.request));
    EXPECT_EQ(p.services.execMethods, (std::vector<std::wstring>(2, L"GetRevision")));
    const std::vector<uint8_t> answer = Answer(0xAA);
    EXPECT_TRUE(std::equal(answer.begin() + 5, answer.end(), output));
    // What the call obtained it has given back; outParams alone still holds the answer.
    EXPECT_EQ(p.dataBufferClass.refs() + p.inParams.refs() + p.outParams.refs(), 0u);
    EXPECT_EQ(p.answer.refs(), 1u);
}

TEST(BiosWTolqFakes, UnusableAnswersFailWithoutTouchingTheOutput) {
    struct Row {
        const char* name;
        std::vector<uint8_t> answer;
        std::string output;
    };
    const Row rows[] = {
        {"flag not set", Answer(0x55),
         "ERROR:: Call TOLQ:: TOLQ completion flag not set, func=56, sts=55"},
        {"answer shorter than a request", Answer(0xAA, 20),
         "ERROR:: WTOLQ Call:: WTOLQ Get() - Result 'Bytes', hr=80041005"},
        {"empty answer", Answer(0xAA, 0),
         "ERROR:: WTOLQ Call:: WTOLQ Get() - Result 'Bytes', hr=80041005"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeProvider p(row.answer);
        uint8_t output[RAW_CALL_DATA_BYTES] = {};
        int result = -1;
        EXPECT_EQ(
            CaptureOutput([&] { result = p.core.Call(kHeader, kSubfunction, kInput, output); }),
            row.output);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(std::count(output, output + 16, 0), 16);
    }
}

}  // namespace

}  // namespace velorin::tool::testing
