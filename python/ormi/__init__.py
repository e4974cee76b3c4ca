"""ormiEffects from Python: every effect of the library as a function, made at import from the
library's catalog, over NumPy arrays (H x W x 4 RGBA, H x W x 3 RGB, H x W grey, uint8), Pillow
images and ormi.Picture. A result is of its input's kind; the input is never changed.

    import ormi
    blurred = ormi.blur(array, amount=60)
    ormi.rotate(ormi.read("in.bmp"), degrees=30).write("out.png")
"""
import inspect
import math
import numbers

import numpy as np

from ._ormi import Picture, RefusedError, apply as _apply, catalog, read

try:
    from PIL import Image as _Image
except ImportError:
    _Image = None

__all__ = ["Picture", "RefusedError", "catalog", "read"]


def _python_name(name):
    return name.replace("-", "_")


def _as_picture(obj):
    """The picture behind obj, whether it was made for this call, and how to turn a result into
    obj's kind."""
    if isinstance(obj, Picture):
        return obj, False, lambda result: result
    if _Image is not None and isinstance(obj, _Image.Image):
        mode = obj.mode
        if mode not in ("RGBA", "RGB", "L"):
            mode = "RGBA" if "A" in mode or "transparency" in obj.info else "RGB"
        array = np.asarray(obj.convert(mode))
        channels = 1 if array.ndim == 2 else array.shape[2]
        return Picture(array), True, lambda result: _Image.fromarray(result.to_array(channels), mode)
    array = np.asarray(obj)
    channels = 1 if array.ndim == 2 else array.shape[-1]
    return Picture(array), True, lambda result: result.to_array(channels)


def _extra_picture(kind, obj):
    if kind == "text-mask" and not isinstance(obj, Picture):
        is_image = _Image is not None and isinstance(obj, _Image.Image)
        return Picture.mask(np.asarray(obj.convert("L") if is_image else obj))
    return _as_picture(obj)[0]


def _default(param):
    if param["kind"] == "list":
        return tuple(param["default"])
    return int(param["default"]) if param["kind"] == "int" else param["default"]


def _values(effect, param, given):
    """The parameter's values as the catalog lays them out, checked as ormi-fx checks its options."""
    name = f"{effect}: {_python_name(param['name'])}"
    if param["kind"] == "list":
        values = [float(v) for v in given]
        if len(values) != len(param["default"]):
            raise ValueError(f"{name} takes {len(param['default'])} numbers, got {len(values)}")
    elif param["kind"] == "int":
        if isinstance(given, bool) or not isinstance(given, numbers.Integral):
            raise TypeError(f"{name} is an integer, got {given!r}")
        values = [int(given)]
    else:
        values = [float(given)]
    for value in values:
        if not (math.isfinite(value) and param["min"] <= value <= param["max"]):
            raise ValueError(f"{name} {value:g} is not in {param['min']:g} to {param['max']:g}")
    return [float(v) for v in values]


def _describe_depths(depths):
    words = ", ".join(map(str, depths[:-1])) + (" and " if len(depths) > 1 else "") + str(depths[-1])
    return words + ("-bit pictures" if len(depths) == 1 else " bits")


def _doc(info):
    lines = [info["description"] + ".", ""]
    if info["result"] != "no-image":
        lines.append("picture: an array, a Pillow image or an ormi.Picture; the result is of the same kind.")
        lines.append(f"Accepts {_describe_depths(info['depths'])}; raises RefusedError for others.")
    for extra in info["extras"]:
        lines.append(f"{_python_name(extra['name'])}: {extra['help']} (an array, a Pillow image or an ormi.Picture)")
    if info["result"] in ("painted", "new-bitmap"):
        lines.append("rect: (left, top, right, bottom), inclusive; by default the whole picture. The painter keeps "
                     "the picture outside it; a text fill is of its size.")
    for param in info["params"]:
        lines.append(f"{_python_name(param['name'])} ({param['kind']}, {param['min']:g} to {param['max']:g}, "
                     f"default {_default(param)}): {param['help']}")
    return "\n".join(lines)


def _make_effect(info):
    keyword = inspect.Parameter.KEYWORD_ONLY
    parameters = []
    if info["result"] != "no-image":
        parameters.append(inspect.Parameter("picture", inspect.Parameter.POSITIONAL_OR_KEYWORD))
    parameters += [inspect.Parameter(_python_name(e["name"]), keyword) for e in info["extras"]]
    parameters += [inspect.Parameter(_python_name(p["name"]), keyword, default=_default(p)) for p in info["params"]]
    takes_rect = info["result"] in ("painted", "new-bitmap")  # the painter and the text fills
    if takes_rect:
        parameters.append(inspect.Parameter("rect", keyword, default=None))
    signature = inspect.Signature(parameters)

    def effect(*args, **kwargs):
        given = signature.bind(*args, **kwargs)
        given.apply_defaults()
        arguments = given.arguments
        values = []
        for param in info["params"]:
            values += _values(info["name"], param, arguments[_python_name(param["name"])])
        extras = [_extra_picture(e["kind"], arguments[_python_name(e["name"])]) for e in info["extras"]]
        if info["result"] == "no-image":
            return _apply(info["name"], None, values, extras)
        picture, made, back = _as_picture(arguments["picture"])
        rect = arguments["rect"] if takes_rect else None
        return back(_apply(info["name"], picture, values, extras, made, None if rect is None else tuple(rect)))

    effect.__name__ = effect.__qualname__ = _python_name(info["name"])
    effect.__signature__ = signature
    effect.__doc__ = _doc(info)
    return effect


def _add_effects():
    for info in catalog():
        name = _python_name(info["name"])
        globals()[name] = _make_effect(info)
        __all__.append(name)


_add_effects()
