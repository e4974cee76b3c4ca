// The native half of the ormi module: pictures, the catalog as plain data, and one dispatcher that
// runs any catalog effect with the GIL released. ormi/__init__.py makes the effect functions.
#include <algorithm>
#include <array>
#include <cstring>
#include <mutex>

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <ormi/win32emu_testing.h>

#include "extras.h"
#include "host/bitmap_convert.h"
#include "host/catalog.h"
#include "host/effect_check.h"
#include "host/image_handle.h"
#include "picture.h"

namespace py = pybind11;
using namespace pybind11::literals;

namespace ormi::python {
namespace {

// An effect that refused its picture, values or extra pictures (raised as ormi.RefusedError).
struct Refused : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Calls that use the library's module state take turns; all others run at once.
std::mutex sharedStateMutex;

const char* ResultName(host::ResultKind kind) {
  switch (kind) {
    case host::ResultKind::InPlace: return "in-place";
    case host::ResultKind::NewImage: return "new-image";
    case host::ResultKind::NewBitmap: return "new-bitmap";
    case host::ResultKind::Painted: return "painted";
    case host::ResultKind::NoImage: return "no-image";
  }
  return "";
}

const char* ExtraName(host::ExtraKind kind) {
  switch (kind) {
    case host::ExtraKind::AlphaImage: return "alpha-image";
    case host::ExtraKind::TextMask: return "text-mask";
    case host::ExtraKind::Tile: return "tile";
  }
  return "";
}

py::list Catalog() {
  py::list effects;
  for (const host::EffectInfo& effect : host::EffectCatalog()) {
    py::list params, extras;
    for (const host::EffectParam& param : effect.params) {
      const bool list = param.kind == host::ParamKind::DoubleList;
      params.append(py::dict("name"_a = param.name,
                             "kind"_a = list                                 ? "list"
                                        : param.kind == host::ParamKind::Int ? "int"
                                                                             : "double",
                             "default"_a = list ? py::cast(param.listDefaults) : py::cast(param.defaultValue),
                             "min"_a = param.min, "max"_a = param.max, "help"_a = param.help));
    }
    for (const host::ExtraInput& extra : effect.extras) {
      extras.append(py::dict("name"_a = extra.name, "kind"_a = ExtraName(extra.kind), "help"_a = extra.help));
    }
    effects.append(py::dict("name"_a = effect.name, "export"_a = effect.exportName,
                            "description"_a = effect.description, "family"_a = effect.family,
                            "depths"_a = effect.depths, "result"_a = ResultName(effect.result), "params"_a = params,
                            "extras"_a = extras));
  }
  return effects;
}

// Outside the painted rectangle the picture's own pixels (in 32 bits) show, as they would on a
// device context that held the picture. Both bitmaps are bottom-up.
bool ShowPictureOutside(HGLOBAL painted, HGLOBAL picture, const RECT& rect) {
  HGLOBAL below = host::ConvertBitmapDepth(picture, 32);
  if (!below) return false;
  {
    const LockedView from(below), to(painted);
    for (uint32_t r = 0; r < to->rows; ++r) {
      const int64_t y = int64_t{to->rows} - 1 - r;  // from the top, as the rectangle counts
      for (int32_t x = 0; x < to->width; ++x) {
        if (x < rect.left || x > rect.right || y < rect.top || y > rect.bottom)
          std::memcpy(to->row(r) + 4 * size_t(x), from->row(r) + 4 * size_t(x), 4);
      }
    }
  }
  GlobalFree(below);
  return true;
}

// A new bitmap as an image handle; the bitmap is freed when it cannot be wrapped.
HGLOBAL WrapOrFree(HGLOBAL bitmap) {
  HGLOBAL image = bitmap ? host::WrapBitmap(bitmap) : nullptr;
  if (bitmap && !image) GlobalFree(bitmap);
  return image;
}

// The handle that replaces the input after a call that returned `result`; the input itself for
// effects that change it in place. Null when the new picture cannot be wrapped.
HGLOBAL Replacement(const host::EffectInfo& effect, intptr_t result, HGLOBAL input, HGLOBAL painted) {
  switch (effect.result) {
    case host::ResultKind::InPlace:
    case host::ResultKind::NoImage: return input;
    case host::ResultKind::NewImage: return reinterpret_cast<HGLOBAL>(result);
    case host::ResultKind::Painted: return WrapOrFree(painted);
    case host::ResultKind::NewBitmap: break;
  }
  auto* const bitmap = reinterpret_cast<HGLOBAL>(result);
  HGLOBAL image = WrapOrFree(bitmap);
  // A new plain bitmap is a fresh picture: it carries alpha when its alpha bytes say so.
  if (image && host::HasNonZeroAlpha(bitmap)) host::SetAlphaTransparency(image);
  return image;
}

// Runs the effect and returns the result. An effect that changes its picture works on a copy, or
// on the picture itself when `consume` says that the caller made it for this call (it is then
// left empty); the other effects only read theirs. `rect` is the rectangle of the painter and the
// text fills, by default the whole picture.
std::unique_ptr<Picture> Apply(const std::string& name, Picture* input, const std::vector<double>& values,
                               const std::vector<const Picture*>& extraPictures, bool consume,
                               const std::optional<std::array<int32_t, 4>>& rect) {
  const host::EffectInfo* effect = host::FindEffect(name);
  if (!effect) throw std::invalid_argument("no effect named " + name);
  if (values.size() != host::DefaultValues(*effect).size() || extraPictures.size() != effect->extras.size() ||
      (effect->result != host::ResultKind::NoImage && !input))
    throw std::invalid_argument(name + ": wrong number of values, extra pictures or pictures");

  std::unique_ptr<Picture> work;
  if (input && consume) {
    work = std::make_unique<Picture>(input->release());
  } else if (input && effect->result == host::ResultKind::InPlace) {
    work = input->copy();
  }
  const Picture* subject = work ? work.get() : input;
  std::vector<HGLOBAL> extras;
  for (size_t i = 0; i < extraPictures.size(); ++i) {
    const bool image = effect->extras[i].kind == host::ExtraKind::AlphaImage;
    extras.push_back(image ? extraPictures[i]->image() : extraPictures[i]->bitmap());
  }
  host::EffectArgs args{subject ? subject->image() : nullptr, values, extras};
  const int depth = subject ? subject->depth() : 0;
  const int width = subject ? subject->width() : 0, height = subject ? subject->height() : 0;
  args.rect = rect ? RECT{(*rect)[0], (*rect)[1], (*rect)[2], (*rect)[3]} : RECT{0, 0, width - 1, height - 1};

  // What the catalog can tell before the call, in ormi-fx's words.
  std::vector<host::PictureFacts> extraFacts;
  for (size_t i = 0; i < extras.size(); ++i) {
    const bool image = effect->extras[i].kind == host::ExtraKind::AlphaImage;
    extraFacts.push_back(image ? host::FactsOfImage(extras[i]) : host::FactsOfBitmap(extras[i]));
  }
  const host::PictureFacts facts = subject ? host::FactsOfImage(subject->image()) : host::PictureFacts{};
  if (const host::Problem problem = host::CheckEffect(*effect, values, facts, extraFacts)) {
    if (problem.kind == host::ProblemKind::File) throw FileError(problem.message);
    throw Refused(problem.message);
  }

  intptr_t result = 0;
  HGLOBAL painted = nullptr;
  {
    py::gil_scoped_release release;
    std::unique_lock turn(sharedStateMutex, std::defer_lock);
    if (host::UsesModuleState(*effect)) turn.lock();
    if (effect->result == host::ResultKind::Painted) {
      args.dc = Win32EmuCreateMemoryDC(width, height);
      result = args.dc ? effect->invoke(args) : 0;
      if (result != 0) painted = fx::BitmapFromMemoryDC(args.dc, width, height);
      if (args.dc) Win32EmuDeleteMemoryDC(args.dc);
      if (painted && !ShowPictureOutside(painted, subject->bitmap(), args.rect)) painted = GlobalFree(painted);
    } else {
      result = effect->invoke(args);
    }
  }
  if (result == 0) {
    // Nothing the catalog knows explains it: the export's own conditions (contents, memory).
    if (!subject) throw Refused(name + ": " + effect->exportName + " failed");
    throw Refused(name + ": " + effect->exportName + " refused the " + std::to_string(depth) + "-bit " +
                  std::to_string(width) + "x" + std::to_string(height) + " picture");
  }
  if (!subject) return nullptr;
  HGLOBAL replacement = Replacement(*effect, result, subject->image(), painted);
  if (!replacement) throw std::bad_alloc();
  return work && replacement == work->image() ? std::move(work) : std::make_unique<Picture>(replacement);
}

}  // namespace
}  // namespace ormi::python

PYBIND11_MODULE(_ormi, m) {
  using namespace ormi::python;
  m.doc() = "ormiEffects' native module; use the ormi package.";
  py::register_exception<Refused>(m, "RefusedError", PyExc_ValueError);
  py::register_exception_translator([](std::exception_ptr error) {
    try {
      if (error) std::rethrow_exception(error);
    } catch (const FileError& e) {
      PyErr_SetString(PyExc_OSError, e.what());
    }
  });

  py::class_<Picture>(m, "Picture", "A picture as the library holds it: any depth, palette and transparency state.")
      .def(py::init(&PictureFromArray), "array"_a,
           "A 32-bit picture from an H x W grey, H x W x 3 RGB or H x W x 4 RGBA uint8 array; RGBA carries its "
           "transparency in the alpha bytes.")
      .def_static("mask", &MaskFromArray, "array"_a, "A 1-bit text mask: bit 1 (masked out) where the array is not 0.")
      .def_property_readonly("width", &Picture::width)
      .def_property_readonly("height", &Picture::height)
      .def_property_readonly("depth", &Picture::depth, "Bits per pixel: 1, 4, 8, 16, 24 or 32.")
      .def_property_readonly("palette", &Picture::palette, "The colour table as N x 3 RGB rows.")
      .def_property("alpha_transparency", &Picture::alphaTransparency, &Picture::setAlphaTransparency,
                    "Whether the alpha bytes carry the transparency.")
      .def_property("color_key", &Picture::colorKey, &Picture::setColorKey, "The transparent colour 0xBBGGRR, or None.")
      .def("__repr__",
           [](const Picture& p) {
             return "<ormi.Picture " + std::to_string(p.width()) + " x " + std::to_string(p.height()) + ", " +
                    std::to_string(p.depth()) + " bits>";
           })
      .def("copy", &Picture::copy)
      .def("convert", &Picture::convert, "depth"_a, "A copy at 32, 24 or 8 bits (8: a 6x6x6 colour cube).")
      .def("to_array", &Picture::toArray, "channels"_a = py::none(),
           "The pixels as an array: 4 RGBA (alpha 255 unless the alpha bytes carry the transparency), 3 RGB or 1 "
           "grey; by default 4 when the alpha bytes carry the transparency, else 3.")
      .def("write", &Picture::write, "path"_a, "format"_a = py::none(),
           "Writes a BMP (at the picture's depth), PNG or JPEG file, chosen by format or the extension.");
  m.def("read", &ReadPictureFile, "path"_a, "Reads a BMP (at its depth), PNG or JPEG file.");
  m.def("catalog", &Catalog, "Every effect with its parameters, depths and extra pictures.");
  m.def("apply", &Apply, "effect"_a, "picture"_a, "values"_a, "extras"_a, "consume"_a = false, "rect"_a = py::none(),
        "Runs an effect with the values in catalog order; the picture stays as it was unless consumed.");
}
