#!/usr/bin/env python3
"""Regenerates the video test data of this folder (see README.md).

Needs ffmpeg (libx264, mpeg4) and GStreamer (videotestsrc, jpegenc, rtph264pay,
rtpmp4vpay, rtpjpegpay, rtpstreampay). RTP packet sequences are stored as
RFC 4571 framing: a 16-bit big-endian length before every RTP packet, which is
what rtpstreampay writes.
"""
import hashlib
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))


def run(*args):
    subprocess.run(args, check=True)


def gst(pipeline):
    run("gst-launch-1.0", "-q", *pipeline.split())


def read_packets(path):
    data = open(path, "rb").read()
    packets, i = [], 0
    while i < len(data):
        n = int.from_bytes(data[i:i + 2], "big")
        packets.append(data[i + 2:i + 2 + n])
        i += 2 + n
    return packets


def write_packets(path, packets):
    with open(path, "wb") as f:
        for p in packets:
            f.write(len(p).to_bytes(2, "big") + p)


def jpeg_segments(data):
    """(marker, segment bytes incl. marker) up to SOS, then the scan data."""
    segments, i = [], 2
    while True:
        marker = data[i + 1]
        length = int.from_bytes(data[i + 2:i + 4], "big")
        segments.append((marker, data[i:i + 2 + length]))
        i += 2 + length
        if marker == 0xDA:
            return segments, data[i:]


def rebuild_per_rfc2435(original):
    """The JPEG file an RFC 2435 receiver writes for this picture: Appendix B
    header order and component ids 0..2, with the tables and the scan that
    libjpeg wrote into the original."""
    segments, scan = jpeg_segments(original)
    dqt = b"".join(s for m, s in segments if m == 0xDB)
    dht = b"".join(s for m, s in segments if m == 0xC4)
    sof = next(s for m, s in segments if m == 0xC0)
    height, width = sof[5:7], sof[7:9]
    luma_sampling = sof[11]
    sof0 = bytes([0xFF, 0xC0, 0, 17, 8]) + height + width + bytes(
        [3, 0, luma_sampling, 0, 1, 0x11, 1, 2, 0x11, 1])
    sos = bytes([0xFF, 0xDA, 0, 12, 3, 0, 0, 1, 0x11, 2, 0x11, 0, 63, 0])
    return b"\xFF\xD8" + dqt + sof0 + dht + sos + scan


def decoded_md5(path):
    out = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "yuv420p", "-"],
                         check=True, capture_output=True).stdout
    return hashlib.md5(out).hexdigest()


def make_h264(tmp):
    mp4 = os.path.join(tmp, "h264.mp4")
    run("ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=176x120:rate=25", "-frames:v", "6",
        "-c:v", "libx264", "-profile:v", "high", "-g", "3", "-bf", "0", "-pix_fmt", "yuv420p", "-y", mp4)
    run("ffmpeg", "-v", "error", "-i", mp4, "-c", "copy", "-bsf:v", "h264_mp4toannexb", "-f", "h264", "-y",
        os.path.join(HERE, "h264_176x120.h264"))
    gst(f"filesrc location={mp4} ! qtdemux ! h264parse ! rtph264pay mtu=300 pt=96 config-interval=-1 "
        f"aggregate-mode=zero-latency seqnum-offset=65530 ! rtpstreampay "
        f"! filesink location={os.path.join(HERE, 'h264_176x120.rtp')}")


def first_nal_unit(annex_b, nal_type):
    units = [u.lstrip(b"\0") for u in annex_b.split(b"\0\0\1")]
    return next(u for u in units if u and (u[0] & 0x1F) == nal_type)


def make_h264_sps(tmp):
    """Sequence parameter sets of other sizes and profiles, one NAL unit per file."""
    interlaced = ["-flags", "+ildct", "-x264-params", "tff=1"]
    for name, extra in (("1920x1080", ["-profile:v", "high"]),
                        ("1280x720", ["-profile:v", "baseline"]),
                        ("720x576", ["-profile:v", "main", *interlaced]),
                        ("1920x1080_interlaced", ["-profile:v", "high", *interlaced])):
        size = name.split("_")[0]
        stream = os.path.join(tmp, f"sps_{name}.h264")
        run("ffmpeg", "-v", "error", "-f", "lavfi", "-i", f"color=size={size}:rate=25", "-frames:v", "1",
            "-c:v", "libx264", *extra, "-pix_fmt", "yuv420p", "-f", "h264", "-y", stream)
        sps = first_nal_unit(open(stream, "rb").read(), 7)
        open(os.path.join(HERE, f"h264_sps_{name}.bin"), "wb").write(sps)


def make_mpeg4(tmp):
    m4v = os.path.join(HERE, "mpeg4_208x120.m4v")
    run("ffmpeg", "-v", "error", "-f", "lavfi", "-i", "testsrc=size=208x120:rate=25", "-frames:v", "6",
        "-c:v", "mpeg4", "-g", "3", "-bf", "0", "-f", "m4v", "-y", m4v)
    mp4 = os.path.join(tmp, "mpeg4.mp4")
    run("ffmpeg", "-v", "error", "-i", m4v, "-c", "copy", "-y", mp4)
    gst(f"filesrc location={mp4} ! qtdemux ! mpeg4videoparse ! rtpmp4vpay mtu=400 pt=96 config-interval=-1 "
        f"seqnum-offset=100 ! rtpstreampay ! filesink location={os.path.join(HERE, 'mpeg4_208x120.rtp')}")


def make_jpeg(tmp):
    gst(f"videotestsrc num-buffers=2 pattern=smpte ! video/x-raw,width=160,height=120,format=I420,framerate=25/1 "
        f"! jpegenc quality=50 ! multifilesink location={os.path.join(tmp, 'q50_%d.jpg')}")
    q255 = os.path.join(HERE, "jpeg_160x120_q255.rtp")
    gst(f"multifilesrc location={os.path.join(tmp, 'q50_%d.jpg')} index=0 stop-index=1 "
        f"caps=image/jpeg,framerate=25/1 ! jpegparse ! rtpjpegpay mtu=600 pt=26 seqnum-offset=7 "
        f"! rtpstreampay ! filesink location={q255}")
    # rtpjpegpay always sends Q=255 with in-band tables. libjpeg's quality 50
    # tables are the RFC 2435 Appendix A tables for Q=50, so dropping the
    # quantization table header and writing Q=50 gives the same picture.
    q50 = []
    for p in read_packets(q255):
        header, payload = p[:12], bytearray(p[12:])
        offset = int.from_bytes(payload[1:4], "big")
        assert payload[5] == 255
        payload[5] = 50
        if offset == 0:
            table_length = int.from_bytes(payload[10:12], "big")
            del payload[8:12 + table_length]
        q50.append(header + bytes(payload))
    write_packets(os.path.join(HERE, "jpeg_160x120_q50.rtp"), q50)
    for n in range(2):
        original_path = os.path.join(tmp, f"q50_{n}.jpg")
        rebuilt = rebuild_per_rfc2435(open(original_path, "rb").read())
        expected_path = os.path.join(HERE, f"jpeg_160x120_rebuilt_{n}.jpg")
        open(expected_path, "wb").write(rebuilt)
        if decoded_md5(expected_path) != decoded_md5(original_path):
            sys.exit(f"{expected_path} does not decode to the pixels of the original")


def make_mjpeg_http(tmp):
    gst(f"videotestsrc num-buffers=2 pattern=ball ! video/x-raw,width=64,height=48,format=I420,framerate=5/1 "
        f"! jpegenc quality=75 ! multifilesink location={os.path.join(tmp, 'small_%d.jpg')}")
    body = b""
    for n in range(2):
        picture = open(os.path.join(tmp, f"small_{n}.jpg"), "rb").read()
        open(os.path.join(HERE, f"mjpeg_64x48_{n}.jpg"), "wb").write(picture)
        body += (b"--myboundary\r\nContent-Type: image/jpeg\r\nContent-Length: " + str(len(picture)).encode()
                 + b"\r\n\r\n" + picture + b"\r\n")
    open(os.path.join(HERE, "mjpeg_64x48_multipart.bin"), "wb").write(body)


def main():
    with tempfile.TemporaryDirectory() as tmp:
        make_h264(tmp)
        make_h264_sps(tmp)
        make_mpeg4(tmp)
        make_jpeg(tmp)
        make_mjpeg_http(tmp)


if __name__ == "__main__":
    main()
