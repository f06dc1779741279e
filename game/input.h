#pragma once
#include <cstdint>

struct App;

// A key-down of the main window: virtualKey is the message's wParam, keyData its lParam.
void HandleGameKey(App& app, uint64_t virtualKey, int64_t keyData);

// A key-up of the main window: releases the move keys (also during a deterministic run).
void HandleGameKeyUp(App& app, uint64_t virtualKey);

// Pointer moved to client x (the low 16 bits of lParam, unsigned).
void HandlePointerMove(App& app, uint32_t clientX);

// Left button pressed: launches the waiting ball.
void HandlePointerClick(App& app);
