#!/usr/bin/python3
"""An independent RTSP server for interoperability tests: GStreamer's
gst-rtsp-server on loopback serving a test pattern as H.264 with Basic (or
Digest) authentication. Prints "READY <port>" once it listens; runs until killed."""
import argparse
import sys

import gi

gi.require_version("Gst", "1.0")
gi.require_version("GstRtsp", "1.0")
gi.require_version("GstRtspServer", "1.0")
from gi.repository import GLib, Gst, GstRtsp, GstRtspServer  # noqa: E402

PIPELINE = (
    "( videotestsrc is-live=true ! video/x-raw,width=320,height=240,framerate=15/1 "
    "! openh264enc gop-size=15 ! h264parse ! rtph264pay name=pay0 pt=96 config-interval=1 )"
)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--path", default="/test")
    parser.add_argument("--digest", action="store_true", help="Digest instead of Basic authentication")
    args = parser.parse_args()

    Gst.init(None)
    server = GstRtspServer.RTSPServer()
    server.set_address("127.0.0.1")
    server.set_service(str(args.port))

    factory = GstRtspServer.RTSPMediaFactory()
    factory.set_launch(PIPELINE)
    factory.set_shared(True)

    if args.user:
        auth = GstRtspServer.RTSPAuth()
        token = GstRtspServer.RTSPToken()
        token.set_string("media.factory.role", args.user)
        if args.digest:
            auth.set_supported_methods(GstRtsp.RTSPAuthMethod.DIGEST)
            auth.add_digest(args.user, args.password, token)
        else:
            auth.add_basic(GstRtspServer.RTSPAuth.make_basic(args.user, args.password), token)
        server.set_auth(auth)
        permissions = GstRtspServer.RTSPPermissions()
        permissions.add_role_from_structure(
            Gst.Structure.from_string(
                args.user + ", media.factory.access=(boolean)true, media.factory.construct=(boolean)true"
            )[0]
        )
        factory.set_permissions(permissions)

    server.get_mount_points().add_factory(args.path, factory)
    loop = GLib.MainLoop()
    if server.attach(None) == 0:
        print("FAILED attach", flush=True)
        return 1
    print("READY %d" % server.get_bound_port(), flush=True)
    loop.run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
