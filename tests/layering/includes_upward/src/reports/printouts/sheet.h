#pragma once
int Sheet();
