/*
 * main.cpp - the conformance checks as a Windows console program, for Wine.
 */
#include "win32_conformance.h"

int main(void)
{
    return run_win32_conformance() == 0 ? 0 : 1;
}
