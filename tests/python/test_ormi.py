"""The ormi module against ormi-fx and Pillow, and from several threads at once."""
import os
import subprocess
import threading
import time
from concurrent.futures import ThreadPoolExecutor

import numpy as np
import pytest

ormi = pytest.importorskip("ormi", reason="the ormi module is not built (ORMI_PYTHON)")
Image = pytest.importorskip("PIL.Image", reason="Pillow is not installed")

EFFECTS = ormi.catalog()
KINDS = {"RGBA": 4, "RGB": 3, "L": 1}


def name_of(text):
    return text.replace("-", "_")


def random_rgba(seed, height=13, width=9):
    rng = np.random.default_rng(seed)
    pixels = rng.integers(0, 256, (height, width, 4), dtype=np.uint8)
    pixels[..., 3] = rng.choice([0, 128, 255], (height, width))  # many effects pass alpha-0 pixels over
    return pixels


def off_default(param):
    """A third of the way from the default to the maximum, so that no parameter sits still."""
    high, default = param["max"], param["default"]
    if param["kind"] == "list":
        return tuple(v + (high - v) / 3 for v in default)
    return int(default + (high - default) // 3) if param["kind"] == "int" else default + (high - default) / 3


def cli_word(name, value):
    if isinstance(value, tuple):
        return ",".join(map(repr, value))
    colour = name == "color" or name.endswith("-color")
    return f"0x{value:06X}" if colour else str(value) if isinstance(value, int) else repr(value)


def extra_inputs(info, tmp_path, pixels):
    """Each extra picture as the Python argument and as the ormi-fx file of the same pixels."""
    rng = np.random.default_rng(7)
    made = {"text-mask": lambda: rng.integers(0, 2, pixels.shape[:2]).astype(bool),  # saved as a 1-bit BMP
            "tile": lambda: rng.integers(0, 256, (4, 5, 3), dtype=np.uint8), "alpha-image": lambda: random_rgba(8)}
    python, files = {}, []
    for extra in info["extras"]:
        path = str(tmp_path / (extra["name"] + (".bmp" if extra["kind"] == "text-mask" else ".png")))
        python[name_of(extra["name"])] = value = made[extra["kind"]]()
        Image.fromarray(value).save(path)
        files += ["--" + extra["name"], path]
    return python, files


CASES = [(info, values) for info in EFFECTS for values in ("defaults", "off-defaults")]


@pytest.mark.parametrize("info,values", CASES, ids=[f"{i['name']}-{v}" for i, v in CASES])
def test_every_effect_gives_the_bytes_of_ormi_fx(info, values, tmp_path):
    # Defaults on an RGBA array (alpha-carried transparency), other values on an opaque ormi.Picture.
    with_alpha = values == "defaults"
    pixels = random_rgba(1) if with_alpha else random_rgba(1)[..., :3]
    given = {} if with_alpha else {p["name"]: off_default(p) for p in info["params"]}
    options = [f"--{name}={cli_word(name, value)}" for name, value in given.items()]
    keywords = {name_of(name): value for name, value in given.items()}
    effect = getattr(ormi, name_of(info["name"]))
    if info["result"] == "no-image":
        ran = subprocess.run([os.environ["ORMI_FX"], info["name"], *options], capture_output=True)
        assert effect(**keywords) is None and ran.returncode == 0, ran.stderr
        return
    extras, files = extra_inputs(info, tmp_path, pixels)
    source, target = str(tmp_path / "in.png"), str(tmp_path / "out.png")
    Image.fromarray(pixels).save(source)
    depth = [] if 32 in info["depths"] else ["--depth", "8"]  # the same conversion on both sides
    ran = subprocess.run([os.environ["ORMI_FX"], info["name"], *options, *files, *depth, source, target],
                         capture_output=True)
    assert ran.returncode in (0, 1), ran.stderr
    picture = pixels if with_alpha and not depth else ormi.Picture(pixels)
    picture = picture.convert(8) if depth else picture
    if ran.returncode == 1:
        pytest.raises(ormi.RefusedError, effect, picture, **keywords, **extras)
        assert info["name"] == "insert-alpha" and with_alpha, ran.stderr  # it takes no alpha-carrying picture
        return
    before = pixels.copy() if picture is pixels else picture.to_array(4)
    result = effect(picture, **keywords, **extras)
    np.testing.assert_array_equal(pixels if picture is pixels else picture.to_array(4), before)  # input kept
    got = result if picture is pixels else result.to_array(4)
    np.testing.assert_array_equal(got, np.asarray(Image.open(target).convert("RGBA")))


@pytest.mark.parametrize("mode", KINDS)
def test_arrays_and_pillow_images_keep_their_pixels_and_kind(mode):
    rgb = random_rgba(2)[..., :3]  # opaque: alpha 255, grey the luma, as Pillow converts it
    expected = np.asarray(Image.fromarray(rgb).convert(mode))
    np.testing.assert_array_equal(ormi.Picture(rgb).to_array(KINDS[mode]), expected)
    image = Image.fromarray(random_rgba(2)).convert(mode)
    array = np.asarray(image)
    for view in (array, array[::-1, ::2], np.asfortranarray(array)):  # strides of any kind
        np.testing.assert_array_equal(ormi.Picture(view).to_array(KINDS[mode]), view)
    assert ormi.Picture(array).alpha_transparency == (mode == "RGBA")
    flipped = ormi.mirror(image, rows=1, columns=1)
    assert isinstance(flipped, Image.Image) and flipped.mode == mode
    np.testing.assert_array_equal(np.asarray(flipped), array[::-1, ::-1])
    np.testing.assert_array_equal(ormi.rotate(array[:, ::2], degrees=180), array[::-1, ::-2])
    if mode != "RGBA":  # no alpha: every pixel is inverted
        np.testing.assert_array_equal(ormi.invert(array), 255 - array)


@pytest.mark.parametrize("suffix", [".bmp", ".png"])
def test_files_keep_pixels_depth_and_palette(tmp_path, suffix):
    pixels, path, cube_path = random_rgba(3), str(tmp_path / ("p" + suffix)), str(tmp_path / "cube.bmp")
    ormi.Picture(pixels).write(path)
    back = ormi.read(path)
    assert (back.depth, back.width, back.height, back.alpha_transparency) == (32, 9, 13, True)
    np.testing.assert_array_equal(back.to_array(), pixels)
    (cube := ormi.Picture(pixels).convert(8)).write(cube_path)
    read8 = ormi.read(cube_path)
    assert read8.depth == 8 and not read8.alpha_transparency and len(read8.palette) == 256
    np.testing.assert_array_equal(read8.palette, cube.palette)
    np.testing.assert_array_equal(read8.to_array(), cube.to_array())
    pytest.raises(OSError, ormi.read, str(tmp_path / "missing.png"))
    pytest.raises(OSError, back.write, str(tmp_path / "no-such-folder" / "out.png"))


REFUSALS = [(info, depth) for info in EFFECTS if info["depths"] for depth in (8, 24, 32) if depth not in info["depths"]]


@pytest.mark.parametrize("info,depth", REFUSALS, ids=[f"{i['name']}-{d}" for i, d in REFUSALS])
def test_refused_depths_raise_with_the_accepted_ones(info, depth):
    picture = ormi.Picture(random_rgba(4)).convert(depth)
    before = picture.to_array(4)
    extras = {name_of(e["name"]): random_rgba(5)[..., 0] for e in info["extras"]}
    with pytest.raises(ormi.RefusedError) as refused:
        getattr(ormi, name_of(info["name"]))(picture, **extras)
    message, start = str(refused.value), f"{info['name']} takes "
    assert isinstance(refused.value, ValueError) and message.startswith(start) and f"not {depth}-bit" in message
    assert all(str(d) in message for d in info["depths"]), message
    np.testing.assert_array_equal(picture.to_array(4), before)


def test_values_are_checked_as_ormi_fx_checks_them():
    pixels = random_rgba(6)
    assert ormi.blur(pixels, amount=-1000).shape == ormi.blur(pixels, amount=1000).shape == pixels.shape
    for error, match, call in [
        (ValueError, "amount 1001 is not in -1000 to 1000", lambda: ormi.blur(pixels, amount=1001)),
        (ValueError, "primaries takes 6 numbers", lambda: ormi.color_correction(pixels, primaries=(0.5, 0.5))),
        (TypeError, "degrees is an integer", lambda: ormi.rotate(pixels, degrees=1.5)),
        (TypeError, "uint8", lambda: ormi.invert(pixels.astype(np.float32))),
    ]:
        pytest.raises(error, call).match(match)


def test_a_rectangle_bounds_the_painter_and_sizes_the_text_fills():
    painted = ormi.gradient(pixels := random_rgba(12)[..., :3], rect=(2, 3, 6, 10), degrees=30)
    np.testing.assert_array_equal(painted[3:11, 2:7], ormi.gradient(np.zeros((8, 5, 3), np.uint8), degrees=30))
    painted[3:11, 2:7] = pixels[3:11, 2:7]  # the picture stays outside
    np.testing.assert_array_equal(painted, pixels)
    assert ormi.tile_for_text(pixels, mask=pixels[..., 0], tile=pixels, rect=(1, 2, 4, 6)).shape == (5, 4, 3)


def test_two_threads_at_once_give_the_single_threaded_results():
    chains = (lambda pixels: ormi.load_gamma_table() or ormi.color_correction(pixels, code=41, white=331),
              lambda pixels: ormi.blur(ormi.rotate(ormi.gamma_correction(pixels, code=23), degrees=17), amount=60))
    inputs = [random_rgba(10 + t, 48, 40) for t in range(2)]
    with ThreadPoolExecutor(2) as pool:
        runs = [pool.submit(lambda t=t: [chains[t](inputs[t]) for _ in range(200)]) for t in range(2)]
    for t in range(2):
        assert all(np.array_equal(r, chains[t](inputs[t])) for r in runs[t].result())


def test_a_gamma_table_load_and_a_gamma_correction_take_turns(tmp_path, monkeypatch):
    # With the table cleared, both load it from a pipe, where a load waits at the opening until a
    # writer comes: taking turns, one waits there while the other waits for it.
    def threads_waiting_at_a_pipe():
        return sum(open(f"/proc/self/task/{t}/wchan").read() == "wait_for_partner" for t in os.listdir("/proc/self/task"))

    monkeypatch.setenv("WINDIR", str(tmp_path / "none"))
    pytest.raises(OSError, ormi.load_gamma_table)  # as ormi-fx: a missing file
    os.mkfifo(pipe := str(tmp_path / "gammalut.tbl"))
    monkeypatch.setenv("WINDIR", str(tmp_path))
    calls = ((ormi.load_gamma_table, ()), (ormi.gamma_correction, (random_rgba(9, 2, 2),)))
    threads = [threading.Thread(target=pytest.raises, args=(ormi.RefusedError, c, *a)) for c, a in calls]
    for thread in threads:
        thread.start()
    while threads_waiting_at_a_pipe() == 0:
        time.sleep(0.01)
    most = max(threads_waiting_at_a_pipe() for _ in range(50) if time.sleep(0.02) is None)
    while any(thread.is_alive() for thread in threads):  # let them in: the library cannot read a pipe
        try:
            os.close(os.open(pipe, os.O_WRONLY | os.O_NONBLOCK))
        except OSError:  # nobody at the pipe yet
            time.sleep(0.01)
    monkeypatch.undo()
    assert ormi.load_gamma_table() is None
    assert most == 1
