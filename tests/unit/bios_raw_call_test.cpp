// The raw request through DataBuffer: the simulated machine's echo, each failure line (these
// lines have no line end), and through fakes the request bytes and answers no machine gives.
#include "bios/wtolq_core.h"

#include "bios_test_support.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using bios_test::CaptureOutput;
using bios_test::FakeClassObject;
using bios_test::FakeServices;
using bios_test::UseMachine;

constexpr uint16_t kHeader = 0x1234;
constexpr uint16_t kSubfunction = 0x0056;
const uint8_t kInput[RAW_CALL_DATA_BYTES] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};

std::vector<uint8_t> Bytes16(const uint8_t* bytes) {
    return std::vector<uint8_t>(bytes, bytes + RAW_CALL_DATA_BYTES);
}

TEST(BiosRawCall, MachineAnswersWithTheCompletionFlag) {
    UseMachine("");
    WTolqCore core;
    ASSERT_EQ(core.Init(), 1);
    uint8_t output[RAW_CALL_DATA_BYTES] = {};
    int withOutput = -1;
    int withoutOutput = -1;
    const std::string printed = CaptureOutput([&] {
        withOutput = core.Call(kHeader, kSubfunction, kInput, output);
        withoutOutput = core.Call(kHeader, kSubfunction, kInput, nullptr);
    });
    EXPECT_EQ(printed, "");
    EXPECT_EQ(withOutput, 1);
    EXPECT_EQ(Bytes16(output), Bytes16(kInput));
    EXPECT_EQ(withoutOutput, 1);
}

TEST(BiosRawCall, EachStepReportsItsFailureWithoutLineEnd) {
    struct Row {
        const char* fault;
        int result;
        std::string output;  // after "ERROR:: WTOLQ Call:: WTOLQ ", repeated per attempt
        int lines;
    };
    const Row rows[] = {
        {"GetObject \"DataBuffer\" hr=0x800401F0", 0, "No CoInitialize() called, hr=800401F0", 1},
        {"GetObject \"DataBuffer\" hr=0x80041002", 0, "GetObject() - DataBuffer, hr=80041002", 1},
        {"SpawnInstance \"DataBuffer\" hr=0x80041001", 0,
         "SpawnInstance() - DataBuffer, hr=80041001", 1},
        {"Put \"DataBuffer.Bytes\" hr=0x80041005", 0, "Put() - DataBuffer 'Bytes', hr=80041005", 1},
        {"SpawnInstance \"GetRevision\" hr=0x80041001", 0, "SpawnInstance() - InParam, hr=80041001",
         1},
        {"Put \"GetRevision.inData\" hr=0x80041005", 0, "Put() - InParam 'inData', hr=80041005", 1},
        {"ExecMethod \"GetRevision\" hr=0x80041001 times=2", 1,
         "ExecMethod(), subfunc=56h, hr=80041001", 2},
        {"ExecMethod \"GetRevision\" hr=0x80041001", 0, "ExecMethod(), subfunc=56h, hr=80041001",
         3},
        {"ExecMethod \"GetRevision\" hr=0x80041003 times=1", 0,
         "No administrator permission, hr=80041003", 1},
        {"Get \"GetRevision.outData\" hr=0x80041001", 0, "Get() - OutParam 'outData', hr=80041001",
         1},
        {"Get \"DataBuffer.Bytes\" hr=0x80041001", 0, "Get() - Result 'Bytes', hr=80041001", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.fault);
        UseMachine(std::string("fault ") + row.fault + "\n");
        WTolqCore core;
        ASSERT_EQ(core.Init(), 1);
        uint8_t output[RAW_CALL_DATA_BYTES] = {};
        int result = -1;
        std::string expected;
        for (int i = 0; i < row.lines; ++i) expected += "ERROR:: WTOLQ Call:: WTOLQ " + row.output;
        EXPECT_EQ(CaptureOutput([&] { result = core.Call(kHeader, kSubfunction, kInput, output); }),
                  expected);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(Bytes16(output), row.result == 1 ? Bytes16(kInput) : std::vector<uint8_t>(16));
    }
}

// A provider put together from fakes, whose answer to the raw request is `answer`. Members are
// ordered so that an object outlives every fake that holds a reference to it.
struct FakeRawProvider {
    FakeClassObject request;
    FakeClassObject answer;
    FakeClassObject dataBufferClass;
    FakeClassObject signature;
    FakeClassObject inParams;
    FakeClassObject outParams;
    FakeServices services;
    WTolqCore core;

    explicit FakeRawProvider(const std::vector<uint8_t>& answerBytes) {
        signature.spawned = &inParams;
        dataBufferClass.spawned = &request;
        services.dataBufferClass = &dataBufferClass;
        services.outParams = &outParams;
        answer.SetBytes(L"Bytes", answerBytes);
        outParams.SetObject(L"outData", &answer);
        bios_test::ConnectToFakes(core, services, signature);
    }
};

std::vector<uint8_t> Answer(uint8_t flag, size_t size = 21) {
    std::vector<uint8_t> bytes(size, 0);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(0xC0 + i);
    if (size > 4) bytes[4] = flag;
    return bytes;
}

TEST(BiosRawCall, RequestIsTheHeaderSubfunctionAndInputInADataBuffer) {
    FakeRawProvider p(Answer(0xAA));
    uint8_t output[RAW_CALL_DATA_BYTES] = {};
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
    EXPECT_EQ(p.services.execMethods, std::vector<std::wstring>{L"GetRevision"});
    const std::vector<uint8_t> answer = Answer(0xAA);
    EXPECT_EQ(Bytes16(output), std::vector<uint8_t>(answer.begin() + 5, answer.end()));
    // What the call obtained it has given back.
    EXPECT_EQ(p.dataBufferClass.refs(), 0u);
    EXPECT_EQ(p.inParams.refs(), 0u);
    EXPECT_EQ(p.outParams.refs(), 0u);
    EXPECT_EQ(p.answer.refs(), 1u);  // held by outParams only
}

TEST(BiosRawCall, UnusableAnswersFailWithoutTouchingTheOutput) {
    struct Row {
        const char* name;
        std::vector<uint8_t> answer;
        std::string output;
    };
    const Row rows[] = {
        {"flag not set", Answer(0x55),
         "ERROR:: Call TOLQ:: TOLQ completion flag not set, func=56, sts=55"},
        {"flag zero", Answer(0x00),
         "ERROR:: Call TOLQ:: TOLQ completion flag not set, func=56, sts=00"},
        {"answer shorter than a request", Answer(0xAA, 20),
         "ERROR:: WTOLQ Call:: WTOLQ Get() - Result 'Bytes', hr=80041005"},
        {"empty answer", Answer(0xAA, 0),
         "ERROR:: WTOLQ Call:: WTOLQ Get() - Result 'Bytes', hr=80041005"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        FakeRawProvider p(row.answer);
        uint8_t output[RAW_CALL_DATA_BYTES] = {};
        int result = -1;
        EXPECT_EQ(
            CaptureOutput([&] { result = p.core.Call(kHeader, kSubfunction, kInput, output); }),
            row.output);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(Bytes16(output), std::vector<uint8_t>(16));
    }
}

TEST(BiosRawCall, OutDataThatIsNotAnObjectFails) {
    FakeRawProvider p(Answer(0xAA));
    p.outParams.SetInt(L"outData", VT_NULL, 0);
    int result = -1;
    EXPECT_EQ(CaptureOutput([&] { result = p.core.Call(kHeader, kSubfunction, kInput, nullptr); }),
              "ERROR:: WTOLQ Call:: WTOLQ Get() - OutParam 'outData', hr=80041005");
    EXPECT_EQ(result, 0);
}

TEST(BiosRawCall, WithoutTheMethodSignatureTheCallFailsSilently) {
    FakeRawProvider p(Answer(0xAA));
    p.core.inSignatures[ROW_GET_REVISION].reset();
    int result = -1;
    EXPECT_EQ(CaptureOutput([&] { result = p.core.Call(kHeader, kSubfunction, kInput, nullptr); }),
              "");
    EXPECT_EQ(result, 0);
    EXPECT_TRUE(p.services.execMethods.empty());
}

}  // namespace
