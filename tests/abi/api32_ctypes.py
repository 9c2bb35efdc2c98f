"""The entry points of libapi32.so as ctypes sees them: the records of api32.h and small helpers, shared by
the Python hosts of the tests."""
import ctypes as C
import sys

API32_NONE, API32_INTEGER, API32_UINT, API32_LONG, API32_ULONG, API32_BOOLEAN = 0, 1, 2, 3, 4, 5
API32_STRING, API32_OBJECT = 9, 17
API32_OK, API32_E_OBJECT = 0, -3


class Value(C.Structure):
    pass


Value._fields_ = [("type", C.c_int32), ("is_null", C.c_int32), ("i", C.c_int64), ("d", C.c_double),
                  ("text", C.c_char_p), ("bytes", C.POINTER(C.c_uint8)), ("size", C.c_size_t),
                  ("items", C.POINTER(Value)), ("count", C.c_size_t), ("object", C.c_void_p),
                  ("name", C.c_char_p), ("type_name", C.c_char_p)]


class Param(C.Structure):
    _fields_ = [("name", C.c_char_p), ("type", C.c_int32), ("by_ref", C.c_int32), ("type_name", C.c_char_p)]


class Function(C.Structure):
    _fields_ = [("name", C.c_char_p), ("result_type", C.c_int32), ("result_type_name", C.c_char_p),
                ("param_count", C.c_int32), ("params", C.POINTER(Param))]


class Result(C.Structure):
    _fields_ = [("status", C.c_int32), ("error", C.c_char_p), ("value", Value), ("out_count", C.c_size_t),
                ("out", C.POINTER(Value))]


CREATE = C.CFUNCTYPE(C.c_void_p)
DESTROY = C.CFUNCTYPE(None, C.c_void_p)
TRIGGER = C.CFUNCTYPE(C.POINTER(Result), C.c_void_p, C.c_char_p, C.POINTER(Value))
INVOKE = C.CFUNCTYPE(C.POINTER(Result), C.c_void_p, C.c_int32, C.POINTER(Value), C.c_int32)
GETVAR = C.CFUNCTYPE(C.POINTER(Result), C.c_void_p, C.c_char_p)
SETVAR = C.CFUNCTYPE(C.POINTER(Result), C.c_void_p, C.c_char_p, C.POINTER(Value))


class Info(C.Structure):
    _fields_ = [("abi_version", C.c_uint32), ("class_name", C.c_char_p), ("ancestor", C.c_char_p),
                ("constant_count", C.c_int32), ("constants", C.c_void_p), ("variable_count", C.c_int32),
                ("variables", C.c_void_p), ("function_count", C.c_int32), ("functions", C.POINTER(Function)),
                ("create", CREATE), ("destroy", DESTROY), ("trigger", TRIGGER), ("invoke", INVOKE),
                ("get_variable", GETVAR), ("set_variable", SETVAR)]


def check(condition, what):
    if not condition:
        print("FAILED:", what)
        sys.exit(1)


lib = None


def load(path):
    """Loads the library and declares the calls the hosts use."""
    global lib
    lib = C.CDLL(path)
    lib.api32_release.argtypes = [C.POINTER(Result)]
    lib.api32_datastore_create.restype = C.c_void_p
    lib.api32_datastore_create.argtypes = [C.c_char_p]
    lib.api32_datastore_rowcount.argtypes = [C.c_void_p]
    lib.api32_datastore_getitem.restype = C.POINTER(Result)
    lib.api32_datastore_getitem.argtypes = [C.c_void_p, C.c_int32, C.c_char_p]
    lib.api32_datastore_destroy.argtypes = [C.c_void_p]
    lib.api32_host_set.argtypes = [C.c_char_p, C.POINTER(Value)]
    return lib


def klass(name):
    entry = getattr(lib, "getVtableInfo_" + name)
    entry.restype = C.POINTER(Info)
    info = entry().contents
    check(info.abi_version == 1, "abi version of " + name)
    check(info.class_name.decode() == name, "class name " + name)
    return info


def function_index(info, name, count):
    for i in range(info.function_count):
        f = info.functions[i]
        if f.name.decode() == name and f.param_count == count:
            return i
    raise SystemExit("FAILED: no function %s/%d" % (name, count))


def string(text):
    raw = text.encode()
    return Value(type=API32_STRING, text=raw, size=len(raw))


def number(kind, n):
    return Value(type=kind, i=n)


def call(info, obj, name, *args):
    array = (Value * len(args))(*args)
    r = info.invoke(obj, function_index(info, name, len(args)), array, len(args))
    check(r.contents.status == 0, "%s: %s" % (name, r.contents.error))
    return r
