// The raw request: 21 bytes in a DataBuffer object, sent as the inData of the method in row 0,
// and the firmware's 21-byte answer read back from outData.
#include "bios/wtolq_core.h"

#include "bios/method_runner.h"
#include "bios/wmi_helpers.h"
#include "report/console.h"

#include <array>
#include <cstring>
#include <new>

namespace velorin::tool {

namespace {

constexpr size_t REQUEST_BYTES = 21;
constexpr size_t COMPLETION_FLAG_OFFSET = 4;
constexpr size_t DATA_OFFSET = 5;
constexpr uint8_t COMPLETION_FLAG = 0xAA;

using RawBuffer = std::array<uint8_t, REQUEST_BYTES>;

// The raw call's lines have no line end.
constexpr CallLines RAW_CALL_LINES = {
    L"ERROR:: WTOLQ Call:: WTOLQ SpawnInstance() - InParam, hr=%08X",
    L"ERROR:: WTOLQ Call:: WTOLQ No administrator permission, hr=%08X",
};

// The request goes as inData of the method in row 0, whatever that method is: the provider
// decides what a raw request on it means.
constexpr MethodSpec RAW_CALL_METHOD{
    ROW_GET_REVISION,
    1,
    {{L"inData", ParamKind::Object,
      L"ERROR:: WTOLQ Call:: WTOLQ Put() - InParam 'inData', hr=%08X"}},
    nullptr,  // the attempt line names the subfunction: see WTolqCore::Call
    1,
    {{L"outData", ParamKind::Object,
      L"ERROR:: WTOLQ Call:: WTOLQ Get() - OutParam 'outData', hr=%08X"}},
    &RAW_CALL_LINES};

RawBuffer BuildRequest(uint16_t header, uint16_t subfunction,
                       const uint8_t (&input)[RAW_CALL_DATA_BYTES]) {
    RawBuffer request{};
    request[0] = static_cast<uint8_t>(header & 0xFF);
    request[1] = static_cast<uint8_t>(header >> 8);
    request[2] = static_cast<uint8_t>(subfunction & 0xFF);
    request[3] = static_cast<uint8_t>(subfunction >> 8);
    std::memcpy(request.data() + DATA_OFFSET, input, RAW_CALL_DATA_BYTES);
    return request;
}

// A new SAFEARRAY holding `bytes`, handed over to the caller (a VARIANT that will own it).
SAFEARRAY* MakeByteArray(const RawBuffer& bytes) {
    SAFEARRAYBOUND bound{static_cast<ULONG>(bytes.size()), 0};
    UniqueSafeArray array(SafeArrayCreate(VT_UI1, 1, &bound));
    if (!array) throw std::bad_alloc();
    {
        SafeArrayDataLock lock(array.get());
        if (FAILED(lock.status())) throw std::bad_alloc();  // a fresh array is never locked
        std::memcpy(lock.data(), bytes.data(), bytes.size());
    }
    return array.release();
}

// The DataBuffer instance that carries the request.
bool MakeRequestObject(IWbemServices& services, const RawBuffer& request,
                       ComPtr<IWbemClassObject>& dataBufferClass,
                       ComPtr<IWbemClassObject>& dataBuffer) {
    const UniqueBstr className = MakeBstr(L"DataBuffer");
    HRESULT hr = services.GetObject(className.get(), 0, nullptr, dataBufferClass.put(), nullptr);
    if (hr == CO_E_NOTINITIALIZED) {
        PrintHr(L"ERROR:: WTOLQ Call:: WTOLQ No CoInitialize() called, hr=%08X", hr);
        return false;
    }
    if (FAILED(hr)) {
        PrintHr(L"ERROR:: WTOLQ Call:: WTOLQ GetObject() - DataBuffer, hr=%08X", hr);
        return false;
    }
    hr = dataBufferClass->SpawnInstance(0, dataBuffer.put());
    if (FAILED(hr)) {
        PrintHr(L"ERROR:: WTOLQ Call:: WTOLQ SpawnInstance() - DataBuffer, hr=%08X", hr);
        return false;
    }
    UniqueVariant bytes;
    bytes.get().vt = VT_ARRAY | VT_UI1;
    bytes.get().parray = MakeByteArray(request);
    hr = dataBuffer->Put(L"Bytes", 0, &bytes.get(), 0);
    bytes.reset();
    if (FAILED(hr)) {
        PrintHr(L"ERROR:: WTOLQ Call:: WTOLQ Put() - DataBuffer 'Bytes', hr=%08X", hr);
        return false;
    }
    return true;
}

// The answer is the Bytes property of the outData object.
bool ReadAnswerBytes(IWbemClassObject& outData, UniqueVariant& answer) {
    const HRESULT hr = outData.Get(L"Bytes", 0, answer.put(), nullptr, nullptr);
    if (FAILED(hr)) {
        PrintHr(L"ERROR:: WTOLQ Call:: WTOLQ Get() - Result 'Bytes', hr=%08X", hr);
        return false;
    }
    return true;
}

// Only a one-dimensional byte array of at least the request's size is read: anything shorter
// would put the completion flag or the result bytes outside the array.
bool IsWholeAnswer(const VARIANT& answer) {
    if (answer.vt != (VT_ARRAY | VT_UI1) || answer.parray == nullptr) return false;
    if (SafeArrayGetDim(answer.parray) != 1) return false;
    LONG lower = 0;
    LONG upper = -1;
    if (FAILED(SafeArrayGetLBound(answer.parray, 1, &lower)) ||
        FAILED(SafeArrayGetUBound(answer.parray, 1, &upper))) {
        return false;
    }
    return static_cast<long long>(upper) - lower + 1 >= static_cast<long long>(REQUEST_BYTES);
}

int TakeAnswer(const VARIANT& answer, uint16_t subfunction, uint8_t* output) {
    if (!IsWholeAnswer(answer)) {
        PrintHr(L"ERROR:: WTOLQ Call:: WTOLQ Get() - Result 'Bytes', hr=%08X",
                (HRESULT)WBEM_E_TYPE_MISMATCH);
        return 0;
    }
    SafeArrayDataLock lock(answer.parray);
    if (FAILED(lock.status())) {
        PrintHr(L"ERROR:: WTOLQ Call:: WTOLQ SafeArrayAccessData() - OutBytes, hr=%08X",
                lock.status());
        return 0;
    }
    const auto* bytes = static_cast<const uint8_t*>(lock.data());
    if (bytes[COMPLETION_FLAG_OFFSET] != COMPLETION_FLAG) {
        ConsolePrintW(L"ERROR:: Call TOLQ:: TOLQ completion flag not set, func=%02X, sts=%02X",
                      (unsigned)subfunction, (unsigned)bytes[COMPLETION_FLAG_OFFSET]);
        return 0;
    }
    if (output != nullptr) std::memcpy(output, bytes + DATA_OFFSET, RAW_CALL_DATA_BYTES);
    return 1;
}

}  // namespace

int WTolqCore::Call(uint16_t header, uint16_t subfunction,
                    const uint8_t (&input)[RAW_CALL_DATA_BYTES], uint8_t* output) {
    if (!services) return 0;
    const RawBuffer request = BuildRequest(header, subfunction, input);
    ComPtr<IWbemClassObject> dataBufferClass;
    ComPtr<IWbemClassObject> dataBuffer;
    if (!MakeRequestObject(*services.get(), request, dataBufferClass, dataBuffer)) return 0;
    const InValue in[] = {ObjectIn(*dataBuffer.get())};
    ComPtr<IWbemClassObject> outData;
    const OutSlot out[] = {ObjectOut(outData)};
    const auto attemptFailed = [subfunction](HRESULT hr) {
        ConsolePrintW(L"ERROR:: WTOLQ Call:: WTOLQ ExecMethod(), subfunc=%02Xh, hr=%08X",
                      (unsigned)subfunction, (unsigned)hr);
    };
    if (!RunProviderMethod(*this, RAW_CALL_METHOD, in, out, attemptFailed)) return 0;
    UniqueVariant answer;
    if (!ReadAnswerBytes(*outData.get(), answer)) return 0;
    return TakeAnswer(answer.get(), subfunction, output);
}

}  // namespace velorin::tool
