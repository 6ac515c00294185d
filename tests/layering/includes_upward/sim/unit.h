#pragma once
int Unit();
