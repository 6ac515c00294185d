#pragma once
constexpr int kPageLines = 72;
