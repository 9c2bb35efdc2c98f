// desktop_module.cpp - marks libapi32_desktop.so; its contents come from the desktop area archive.
extern "C" __attribute__((visibility("default"))) int api32_desktop_module_abi() { return 1; }
