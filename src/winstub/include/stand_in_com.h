// What the stand-in's COM runtime leaves to the layer above it: the classes CoCreateInstance
// can create, what CoSetProxyBlanket answers, and a gate in front of each call. The stand-in
// knows no class of its own, so it links without the objects it hands out; until hooks are
// installed, CoCreateInstance finds no class, CoSetProxyBlanket knows no proxy and no call is
// gated.
#pragma once

#include <windows.h>

#include <cstddef>

// A creatable class: a new object with one reference for the caller, as the interface `riid`.
struct StandInClass {
    CLSID clsid;
    HRESULT (*create)(REFIID riid, void** object);
};

struct StandInComHooks {
    const StandInClass* classes = nullptr;
    size_t classCount = 0;
    // The answer of CoSetProxyBlanket for `proxy`.
    HRESULT (*proxyBlanket)(IUnknown* proxy) = nullptr;
    // Runs the call named `call` by calling `body(context)`, or answers for it without.
    HRESULT (*gate)(const char* call, HRESULT (*body)(void* context), void* context) = nullptr;
};

// Installs the hooks for every later call; the tables they point to must outlive the process.
void SetStandInComHooks(const StandInComHooks& hooks);
