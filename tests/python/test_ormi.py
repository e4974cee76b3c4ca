"""The ormi module against ormi-fx and Pillow: every catalog effect gives the CLI's bytes, pictures
keep their pixels through arrays, Pillow and files, refusals raise with their reason, and effects
run from two threads at once give what they give alone."""
import os
import subprocess
import threading

import numpy as np
import pytest

ormi = pytest.importorskip("ormi", reason="the ormi module is not built (ORMI_PYTHON)")
Image = pytest.importorskip("PIL.Image", reason="Pillow is not installed")

EFFECTS = ormi.catalog()


def name_of(text):
    return text.replace("-", "_")


def random_rgba(seed, height=13, width=9):
    rng = np.random.default_rng(seed)
    pixels = rng.integers(0, 256, (height, width, 4), dtype=np.uint8)
    pixels[..., 3] = rng.choice([0, 128, 255], (height, width))  # many effects pass alpha-0 pixels over
    return pixels


def off_default(param):
    """A value a third of the way from the default to the maximum, so that no parameter sits still."""
    low, high, default = param["min"], param["max"], param["default"]
    if param["kind"] == "list":
        return tuple(v + (high - v) / 3 for v in default)
    return int(default + (high - default) // 3) if param["kind"] == "int" else default + (high - default) / 3


def cli_word(value):
    if isinstance(value, tuple):
        return ",".join(repr(v) for v in value)
    return str(value) if isinstance(value, int) else repr(value)


def extra_inputs(info, tmp_path, pixels):
    """Each extra picture as the Python argument and as the ormi-fx file of the same pixels."""
    rng = np.random.default_rng(7)
    python, files = {}, []
    for extra in info["extras"]:
        path = str(tmp_path / (extra["name"] + (".bmp" if extra["kind"] == "text-mask" else ".png")))
        if extra["kind"] == "text-mask":
            value = rng.integers(0, 2, pixels.shape[:2]).astype(bool)
            Image.fromarray(value).save(path)  # a 1-bit BMP, white (bit 1) where True
        elif extra["kind"] == "tile":
            value = rng.integers(0, 256, (4, 5, 3), dtype=np.uint8)
            Image.fromarray(value).save(path)
        else:
            value = random_rgba(8)
            Image.fromarray(value).save(path)
        python[name_of(extra["name"])] = value
        files += ["--" + extra["name"], path]
    return python, files


CASES = [(info, values) for info in EFFECTS for values in ("defaults", "off-defaults")]


@pytest.mark.parametrize("info,values", CASES, ids=[f"{i['name']}-{v}" for i, v in CASES])
def test_every_effect_gives_the_bytes_of_ormi_fx(info, values, tmp_path):
    # Defaults on an RGBA array (alpha-carried transparency), other values on an opaque ormi.Picture.
    with_alpha = values == "defaults"
    pixels = random_rgba(1) if with_alpha else random_rgba(1)[..., :3]
    given = {} if with_alpha else {p["name"]: off_default(p) for p in info["params"]}
    options = [f"--{name}={cli_word(value)}" for name, value in given.items()]
    keywords = {name_of(name): value for name, value in given.items()}
    effect = getattr(ormi, name_of(info["name"]))
    if info["result"] == "no-image":
        ran = subprocess.run([os.environ["ORMI_FX"], info["name"], *options], capture_output=True)
        assert effect(**keywords) is None and ran.returncode == 0, ran.stderr
        return
    extras, files = extra_inputs(info, tmp_path, pixels)
    source, target = str(tmp_path / "in.png"), str(tmp_path / "out.png")
    Image.fromarray(pixels).save(source)
    # Effects that take no 32-bit picture get the 8-bit conversion on both sides.
    depth = [] if 32 in info["depths"] else ["--depth", "8"]
    ran = subprocess.run([os.environ["ORMI_FX"], info["name"], *options, *files, *depth, source, target],
                         capture_output=True)
    assert ran.returncode in (0, 1), ran.stderr
    picture = pixels if with_alpha and not depth else ormi.Picture(pixels)
    picture = picture.convert(8) if depth else picture
    if ran.returncode == 1:
        with pytest.raises(ormi.RefusedError):
            effect(picture, **keywords, **extras)
        assert info["name"] == "insert-alpha" and with_alpha, ran.stderr  # it takes no alpha-carrying picture
        return
    result = effect(picture, **keywords, **extras)
    got = result if picture is pixels else result.to_array(4)
    assert got.dtype == np.uint8 and got.flags.c_contiguous
    np.testing.assert_array_equal(got, np.asarray(Image.open(target).convert("RGBA")))


KINDS = {"RGBA": 4, "RGB": 3, "L": 1}


@pytest.mark.parametrize("mode", KINDS)
def test_arrays_and_pillow_images_keep_their_pixels_and_kind(mode):
    image = Image.fromarray(random_rgba(2)).convert(mode)
    array = np.asarray(image)
    for view in (array, array[::-1, ::2], np.asfortranarray(array)):  # strides of any kind
        np.testing.assert_array_equal(ormi.Picture(view).to_array(KINDS[mode]), view)
    assert ormi.Picture(array).alpha_transparency == (mode == "RGBA")
    flipped = ormi.mirror(image, rows=1, columns=1)
    assert isinstance(flipped, Image.Image) and flipped.mode == mode
    np.testing.assert_array_equal(np.asarray(flipped), array[::-1, ::-1])
    half_turn = ormi.rotate(array[:, ::2], degrees=180)
    np.testing.assert_array_equal(half_turn, array[::-1, ::-2])
    if mode != "RGBA":  # no alpha: every pixel is inverted
        np.testing.assert_array_equal(ormi.invert(array), 255 - array)


def test_grey_is_the_luma_of_the_colours():
    rgb = np.array([[[255, 0, 0], [0, 255, 0], [0, 0, 255], [10, 200, 30]]], dtype=np.uint8)
    grey = ormi.Picture(rgb).to_array(1)
    np.testing.assert_array_equal(grey, np.asarray(Image.fromarray(rgb).convert("L")))


@pytest.mark.parametrize("suffix", [".bmp", ".png"])
def test_files_keep_pixels_depth_and_palette(tmp_path, suffix):
    pixels = random_rgba(3)
    path = str(tmp_path / ("picture" + suffix))
    ormi.Picture(pixels).write(path)
    back = ormi.read(path)
    assert (back.depth, back.width, back.height, back.alpha_transparency) == (32, 9, 13, True)
    np.testing.assert_array_equal(back.to_array(), pixels)
    if suffix == ".png":
        np.testing.assert_array_equal(np.asarray(Image.open(path)), pixels)
    cube = ormi.Picture(pixels).convert(8)
    cube.write(str(tmp_path / "cube.bmp"))
    read8 = ormi.read(str(tmp_path / "cube.bmp"))
    assert read8.depth == 8 and not read8.alpha_transparency
    np.testing.assert_array_equal(read8.palette, cube.palette)
    np.testing.assert_array_equal(read8.to_array(), cube.to_array())
    with pytest.raises(OSError, match="missing"):
        ormi.read(str(tmp_path / "missing.png"))
    with pytest.raises(OSError):
        back.write(str(tmp_path / "no-such-folder" / "out.png"))


REFUSALS = [(info, depth) for info in EFFECTS if info["depths"] for depth in (8, 24, 32) if depth not in info["depths"]]


@pytest.mark.parametrize("info,depth", REFUSALS, ids=[f"{i['name']}-{d}" for i, d in REFUSALS])
def test_refused_depths_raise_with_the_accepted_ones(info, depth):
    picture = ormi.Picture(random_rgba(4)).convert(depth)
    before = picture.to_array(4)
    extras = {name_of(e["name"]): random_rgba(5)[..., 0] for e in info["extras"]}
    with pytest.raises(ormi.RefusedError) as refused:
        getattr(ormi, name_of(info["name"]))(picture, **extras)
    assert isinstance(refused.value, ValueError)
    message = str(refused.value)
    assert message.startswith(f"{info['name']} refused the {depth}-bit picture (it accepts "), message
    assert all(str(d) in message for d in info["depths"]), message
    np.testing.assert_array_equal(picture.to_array(4), before)  # the input is left as it was


def test_values_are_checked_as_ormi_fx_checks_them():
    pixels = random_rgba(6)
    with pytest.raises(ValueError, match="amount 1001 is not in -1000 to 1000"):
        ormi.blur(pixels, amount=1001)
    with pytest.raises(ValueError, match="primaries takes 6 numbers"):
        ormi.color_correction(pixels, primaries=(0.5, 0.5))
    with pytest.raises(TypeError):
        ormi.rotate(pixels, degrees=1.5)
    with pytest.raises(TypeError):
        ormi.blur(pixels, radius=3)
    with pytest.raises(TypeError):
        ormi.copy_alpha(pixels)  # its source is required
    with pytest.raises(TypeError, match="uint8"):
        ormi.invert(pixels.astype(np.float32))


def test_two_threads_at_once_give_the_single_threaded_results():
    # Colour correction keeps its settings in the library between calls: each thread asks for others.
    def chain(pixels, t):
        pixels = ormi.color_correction(pixels, code=12 + 30 * t, primaries=(0.6 + 0.1 * t, 0.3, 0.3, 0.6, 0.15, 0.06))
        return ormi.blur(ormi.rotate(pixels, degrees=17 + t), amount=60)

    inputs = [random_rgba(10 + t, 160, 120) for t in range(2)]
    expected = [chain(inputs[t], t) for t in range(2)]
    seen = [[], []]
    start = threading.Barrier(2)

    def run(t):
        start.wait()
        seen[t].extend(chain(inputs[t], t) for _ in range(12))

    threads = [threading.Thread(target=run, args=(t,)) for t in range(2)]
    for thread in threads:
        thread.start()
    for thread in threads:
        thread.join()
    for t in range(2):
        assert len(seen[t]) == 12 and all(np.array_equal(r, expected[t]) for r in seen[t])
