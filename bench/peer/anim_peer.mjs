// The peer of anim_peer_bench: the clip it wrote (node anim_peer.mjs KEYS.json) as a
// three.js AnimationClip (smooth VectorKeyframeTracks for position and scale,
// QuaternionKeyframeTracks for rotation), played by an AnimationMixer with mixer.update at
// the same 30 frames per second over the same minute. Prints one JSON object.
import { readFileSync } from 'node:fs';
import * as THREE from 'three';

const keysPath = process.argv[2];
if (!keysPath) {
    console.error('usage: node anim_peer.mjs KEYS.json');
    process.exit(2);
}
const clipData = JSON.parse(readFileSync(keysPath, 'utf8'));
const fps = clipData.framesPerSecond;
const evaluations = clipData.evaluations;

// The whole clip, and the clip with only its position and scale tracks or only its
// rotation tracks, as anim_peer_bench plays them.
function buildTracks(kinds) {
    const tracks = [];
    const seconds = (frames) => frames.map((f) => f / fps);
    for (const node of clipData.nodes) {
        if (kinds.vectors)
            tracks.push(new THREE.VectorKeyframeTrack(`${node.name}.position`, seconds(node.position.frames),
                node.position.values, THREE.InterpolateSmooth));
        if (kinds.rotations)
            tracks.push(new THREE.QuaternionKeyframeTrack(`${node.name}.quaternion`, seconds(node.rotation.frames),
                node.rotation.values));
        if (kinds.vectors)
            tracks.push(new THREE.VectorKeyframeTrack(`${node.name}.scale`, seconds(node.scale.frames),
                node.scale.values, THREE.InterpolateSmooth));
    }
    return tracks;
}

// Nanoseconds per track evaluation: the median and the best of the timed passes.
function measure(kinds) {
    const root = new THREE.Object3D();
    for (const node of clipData.nodes) {
        const object = new THREE.Object3D();
        object.name = node.name;
        root.add(object);
    }
    const tracks = buildTracks(kinds);
    const mixer = new THREE.AnimationMixer(root);
    const action = mixer.clipAction(new THREE.AnimationClip('bench', -1, tracks));
    action.setLoop(THREE.LoopOnce, 1);
    action.clampWhenFinished = true;
    action.play();

    // One pass plays the minute from its start: the first update at time 0, then a frame on.
    const playMinute = () => {
        mixer.setTime(0);
        for (let k = 1; k < evaluations; ++k)
            mixer.update(1 / fps);
    };
    // Warm up until the JIT has settled, then time passes for at least two seconds.
    for (let i = 0; i < 20; ++i)
        playMinute();
    const passes = [];
    const started = process.hrtime.bigint();
    while (passes.length < 10 || Number(process.hrtime.bigint() - started) < 2e9) {
        const t0 = process.hrtime.bigint();
        playMinute();
        passes.push(Number(process.hrtime.bigint() - t0));
    }
    passes.sort((a, b) => a - b);
    const trackEvaluations = tracks.length * evaluations;
    const last = root.children[root.children.length - 1];
    return {
        tracks: tracks.length,
        passes: passes.length,
        track_evaluations: trackEvaluations,
        ns_per_track_median: passes[passes.length >> 1] / trackEvaluations,
        ns_per_track_best: passes[0] / trackEvaluations,
        // Where the last node ended up, so the work cannot go unseen.
        last_position: last.position.toArray(),
        last_quaternion: last.quaternion.toArray(),
    };
}

console.log(JSON.stringify({
    three: THREE.REVISION,
    node: process.version,
    all: measure({ vectors: true, rotations: true }),
    vectors: measure({ vectors: true, rotations: false }),
    rotations: measure({ vectors: false, rotations: true }),
}));
